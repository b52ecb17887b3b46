#include "host/Formula.h"

#include <map>

#include "host/ExpressionText.h"
#include "host/Karva.h"

namespace orv::refhost {
namespace {

// The catalogue's infix templates; "?" for whatever cannot be read.
class InfixStyle : public ExpressionStyle {
public:
    explicit InfixStyle(const std::vector<std::string>& names) : names_(names) {
        for (const auto& f : NativeFunctions()) forms_.emplace(f.symbol, TextTemplate(f.infix));
    }
    const TextTemplate& Function(const GeneNode& node) const override {
        static const TextTemplate unknownBinary("(x0 ? x1)");
        const auto it = forms_.find(node.symbol);
        return it == forms_.end() ? unknownBinary : it->second;
    }
    std::string Terminal(const GeneNode& node) const override {
        if (node.terminal < names_.size()) return names_[node.terminal];
        std::string text = "d";
        if (node.terminal != kNoTerminalNumber) text += std::to_string(node.terminal);
        return text;
    }
    std::string Missing() const override { return "?"; }

private:
    const std::vector<std::string>& names_;
    std::map<char, TextTemplate> forms_;
};

}  // namespace

std::string KarvaToFormula(const std::string& karva, const std::string& linkingFunction,
                           const std::vector<std::string>& terminalNames) {
    const ModelTree model = DecodeModel(karva, linkingFunction);
    const InfixStyle style(terminalNames);
    std::string out;
    const bool wrap = model.genes.size() > 1;
    for (std::size_t g = 0; g < model.genes.size(); ++g) {
        if (g > 0) out += " " + linkingFunction + " ";
        if (wrap) out += "[";
        WriteGene(model.genes[g], style, out);
        if (wrap) out += "]";
    }
    return out;
}

}  // namespace orv::refhost
