#include "host/Formula.h"

#include <pugixml.hpp>

#include <map>

#include "common/Conversions.h"
#include "host/ReferenceHost.h"

namespace orv::refhost {
namespace {

// A template cut into literal text and argument slots (x0, x1, ...).
struct Part {
    std::string literal;
    int argument = -1;
};

struct Function {
    int arity = 2;
    std::vector<Part> parts;
};

std::vector<Part> Cut(const std::string& text) {
    std::vector<Part> parts;
    std::string literal;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == 'x' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') {
            if (!literal.empty()) parts.push_back({std::move(literal), -1});
            literal.clear();
            parts.push_back({"", text[i + 1] - '0'});
            ++i;
        } else {
            literal += text[i];
        }
    }
    if (!literal.empty()) parts.push_back({std::move(literal), -1});
    return parts;
}

const std::map<char, Function>& Functions() {
    static const std::map<char, Function> functions = [] {
        std::map<char, Function> m;
        pugi::xml_document doc;
        doc.load_string(NativeCatalogueXml().c_str());
        for (auto f : doc.document_element().child("FFnatives").children("function")) {
            const std::string symbol = f.attribute("symbol").value();
            if (symbol.size() == 1) m[symbol[0]] = {f.attribute("arity").as_int(2), Cut(f.text().get())};
        }
        return m;
    }();
    return functions;
}

struct Node {
    std::string terminal;              // set for terminals
    const Function* function = nullptr;
    std::vector<std::size_t> children;  // index into the gene's nodes; npos when missing
};

constexpr std::size_t kMissing = static_cast<std::size_t>(-1);

std::vector<Node> Decode(const std::string& gene, const std::vector<std::string>& names) {
    static const Function unknownBinary{2, {{"(", -1}, {"", 0}, {" ? ", -1}, {"", 1}, {")", -1}}};
    std::vector<Node> nodes;
    for (std::size_t i = 0; i < gene.size(); ++i) {
        const char c = gene[i];
        if (c == 'd') {
            std::size_t j = i + 1;
            while (j < gene.size() && gene[j] >= '0' && gene[j] <= '9') ++j;
            const std::string digits = gene.substr(i + 1, j - i - 1);
            const std::size_t t = digits.empty() || digits.size() > 6 ? kMissing : std::stoul(digits);
            nodes.push_back({t < names.size() ? names[t] : "d" + digits, nullptr, {}});
            i = j - 1;
        } else if (c != ' ') {
            const auto it = Functions().find(c);
            nodes.push_back({"", it == Functions().end() ? &unknownBinary : &it->second, {}});
        }
    }
    // Breadth-first: the arguments of the functions follow in reading order.
    std::size_t next = 1;
    for (std::size_t i = 0; i < nodes.size() && i < next; ++i) {
        if (!nodes[i].function) continue;
        for (int a = 0; a < nodes[i].function->arity; ++a) nodes[i].children.push_back(next < nodes.size() ? next++ : kMissing);
    }
    return nodes;
}

// Writes the gene's expression tree without recursion, so that no chromosome
// can exhaust the stack.
void Render(const std::vector<Node>& nodes, std::string& out) {
    if (nodes.empty()) {
        out += "?";
        return;
    }
    struct Frame {
        std::size_t node;
        std::size_t part;
    };
    std::vector<Frame> stack{{0, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.node == kMissing) {
            out += "?";
            stack.pop_back();
            continue;
        }
        const Node& n = nodes[f.node];
        if (!n.function) {
            out += n.terminal;
            stack.pop_back();
            continue;
        }
        if (f.part == n.function->parts.size()) {
            stack.pop_back();
            continue;
        }
        const Part& p = n.function->parts[f.part++];
        if (p.argument < 0) {
            out += p.literal;
        } else {
            const auto a = static_cast<std::size_t>(p.argument);
            stack.push_back({a < n.children.size() ? n.children[a] : kMissing, 0});
        }
    }
}

}  // namespace

std::string KarvaToFormula(const std::string& karva, const std::string& linkingFunction,
                           const std::vector<std::string>& terminalNames) {
    const std::string text(TrimSpaces(karva));
    if (text.empty()) return {};
    // Genes are joined by " + " or " * ", the first found wins, as in the record.
    std::string separator = " + ";
    if (text.find(separator) == std::string::npos) separator = " * ";
    std::vector<std::string> genes;
    std::size_t start = 0;
    for (;;) {
        const auto hit = text.find(separator, start);
        genes.push_back(text.substr(start, hit == std::string::npos ? std::string::npos : hit - start));
        if (hit == std::string::npos) break;
        start = hit + separator.size();
    }
    std::string out;
    for (std::size_t g = 0; g < genes.size(); ++g) {
        if (g > 0) out += " " + linkingFunction + " ";
        const bool wrap = genes.size() > 1;
        if (wrap) out += "[";
        Render(Decode(genes[g], terminalNames), out);
        if (wrap) out += "]";
    }
    return out;
}

}  // namespace orv::refhost
