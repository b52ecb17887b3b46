#include "host/ExpressionText.h"

namespace orv::refhost {

TextTemplate::TextTemplate(std::string_view text) {
    std::string literal;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == 'x' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') {
            if (!literal.empty()) parts_.push_back({std::move(literal), -1});
            literal.clear();
            parts_.push_back({"", text[i + 1] - '0'});
            ++i;
        } else {
            literal += text[i];
        }
    }
    if (!literal.empty()) parts_.push_back({std::move(literal), -1});
}

std::string TextTemplate::Fill(const std::vector<std::string>& arguments) const {
    std::string out;
    for (const auto& p : parts_) {
        if (p.argument < 0) out += p.literal;
        else if (static_cast<std::size_t>(p.argument) < arguments.size()) out += arguments[static_cast<std::size_t>(p.argument)];
    }
    return out;
}

void WriteGene(const GeneTree& gene, const ExpressionStyle& style, std::string& out) {
    const auto& nodes = gene.nodes;
    if (nodes.empty()) {
        out += style.Missing();
        return;
    }
    struct Frame {
        std::size_t node;
        const TextTemplate* form;
        std::size_t part;
    };
    std::vector<Frame> stack{{0, nullptr, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.node == kMissingNode) {
            out += style.Missing();
            stack.pop_back();
            continue;
        }
        const GeneNode& n = nodes[f.node];
        if (n.IsTerminal()) {
            out += style.Terminal(n);
            stack.pop_back();
            continue;
        }
        if (!f.form) f.form = &style.Function(n);
        if (f.part == f.form->Parts().size()) {
            stack.pop_back();
            continue;
        }
        const auto& p = f.form->Parts()[f.part++];
        if (p.argument < 0) {
            out += p.literal;
        } else {
            const auto a = static_cast<std::size_t>(p.argument);
            stack.push_back({a < n.children.size() ? n.children[a] : kMissingNode, nullptr, 0});
        }
    }
}

}  // namespace orv::refhost
