#include "host/Karva.h"

#include <pugixml.hpp>

#include "common/Conversions.h"
#include "host/ReferenceHost.h"

namespace orv::refhost {

const std::vector<NativeFunction>& NativeFunctions() {
    static const std::vector<NativeFunction> functions = [] {
        std::vector<NativeFunction> all;
        pugi::xml_document doc;
        doc.load_string(NativeCatalogueXml().c_str());
        for (auto f : doc.document_element().child("FFnatives").children("function")) {
            const std::string symbol = f.attribute("symbol").value();
            if (symbol.size() == 1)
                all.push_back({symbol[0], f.attribute("key").value(), f.attribute("arity").as_int(2), f.text().get()});
        }
        return all;
    }();
    return functions;
}

const NativeFunction* FindNativeFunction(char symbol) {
    for (const auto& f : NativeFunctions())
        if (f.symbol == symbol) return &f;
    return nullptr;
}

namespace {

GeneTree DecodeGene(std::string_view gene) {
    GeneTree tree;
    auto& nodes = tree.nodes;
    for (std::size_t i = 0; i < gene.size(); ++i) {
        const char c = gene[i];
        if (c == ' ') continue;
        GeneNode node;
        node.symbol = c;
        if (c == 'd') {
            std::size_t j = i + 1;
            std::size_t number = 0;
            for (; j < gene.size() && gene[j] >= '0' && gene[j] <= '9'; ++j)
                number = number > 100000000 ? kNoTerminalNumber - 1 : number * 10 + static_cast<std::size_t>(gene[j] - '0');
            if (j > i + 1) node.terminal = number;  // a huge number stays out of every row's range
            i = j - 1;
        } else {
            node.function = FindNativeFunction(c);
        }
        nodes.push_back(std::move(node));
    }
    // Breadth-first: the arguments of the functions follow in reading order.
    std::size_t next = 1;
    for (std::size_t i = 0; i < nodes.size() && i < next; ++i) {
        if (nodes[i].IsTerminal()) continue;
        const int arity = nodes[i].function ? nodes[i].function->arity : 2;
        for (int a = 0; a < arity; ++a) nodes[i].children.push_back(next < nodes.size() ? next++ : kMissingNode);
    }
    if (nodes.size() > next) nodes.resize(next);
    return tree;
}

}  // namespace

ModelTree DecodeModel(std::string_view karva, std::string_view linkingFunction) {
    ModelTree model;
    model.linking = linkingFunction == "*" ? '*' : '+';
    const std::string_view text = TrimSpaces(karva);
    if (text.empty()) return model;
    std::string_view separator = " + ";
    if (text.find(separator) == std::string_view::npos) separator = " * ";
    std::size_t start = 0;
    for (;;) {
        const auto hit = text.find(separator, start);
        model.genes.push_back(DecodeGene(text.substr(start, hit == std::string_view::npos ? hit : hit - start)));
        if (hit == std::string_view::npos) break;
        start = hit + separator.size();
    }
    return model;
}

}  // namespace orv::refhost
