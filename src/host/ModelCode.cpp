#include "host/ModelCode.h"

#include <pugixml.hpp>

#include <algorithm>
#include <map>
#include <sstream>
#include <string_view>
#include <utility>

#include "adapter/V2Adapter.h"
#include "common/ComError.h"
#include "common/Conversions.h"
#include "host/ExpressionText.h"
#include "host/ReferenceHost.h"

namespace orv::refhost {
namespace {

const char* const kSource = "ReferenceHost";

pugi::xml_node LanguagesSection(pugi::xml_document& doc) {
    doc.load_string(NativeCatalogueXml().c_str());
    return doc.document_element().child("Languages");
}

// "A" for the first column, "Z", "AA", "AB", ... after it.
std::string ColumnLetters(std::size_t index) {
    std::string letters;
    for (std::size_t n = index + 1; n > 0; n = (n - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

// Texts put into comments stay on one line.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return text;
}

// A template's text without the line break that follows its opening tag.
std::string Text(pugi::xml_node node) {
    std::string text = node.text().get();
    if (text.starts_with("\r\n")) text.erase(0, 2);
    else if (text.starts_with('\n')) text.erase(0, 1);
    return text;
}

// One pass, so that a filled-in text is never taken for a placeholder.
std::string FillPlaceholders(std::string_view form, const std::vector<std::pair<std::string, std::string>>& values) {
    std::string out;
    for (std::size_t i = 0; i < form.size();) {
        const auto hit = std::find_if(values.begin(), values.end(),
                                      [&](const auto& v) { return form.substr(i).starts_with(v.first); });
        if (hit == values.end()) {
            out += form[i++];
        } else {
            out += hit->second;
            i += hit->first.size();
        }
    }
    return out;
}

// The whole model as one tree: a chain of linking-function nodes, the last
// link at the root, over the genes' own nodes. Written in one pass, so that
// many genes cost no more than one long gene.
GeneTree LinkedGenes(const ModelTree& model) {
    const std::size_t links = model.genes.size() - 1;
    std::vector<std::size_t> roots;  // where each gene's root lands
    GeneTree all;
    all.nodes.resize(links);
    for (const auto& gene : model.genes) {
        const std::size_t offset = all.nodes.size();
        roots.push_back(gene.nodes.empty() ? kMissingNode : offset);
        for (GeneNode node : gene.nodes) {
            for (auto& c : node.children)
                if (c != kMissingNode) c += offset;
            all.nodes.push_back(std::move(node));
        }
    }
    for (std::size_t i = 0; i < links; ++i) {
        GeneNode& link = all.nodes[i];
        link.symbol = model.linking;
        link.function = FindNativeFunction(model.linking);
        link.children = {i + 1 < links ? i + 1 : roots[0], roots[links - i]};
    }
    return all;
}

std::string FillTerminal(std::string_view form, std::size_t index, const std::string& name) {
    return FillPlaceholders(form, {{"{index}", std::to_string(index)}, {"{column}", ColumnLetters(index)}, {"{name}", OneLine(name)}});
}

class LanguageStyle : public ExpressionStyle {
public:
    LanguageStyle(pugi::xml_node language, std::size_t terminalCount)
        : terminal_(Text(language.child("terminal"))), terminalCount_(terminalCount) {
        std::map<std::string, std::string> byKey;
        for (auto f : language.children("function")) byKey.emplace(f.attribute("key").value(), f.text().get());
        std::istringstream infix(language.attribute("infix").value());
        for (std::string key; infix >> key;) byKey.emplace(key, "");
        for (const auto& f : NativeFunctions()) {
            const auto it = byKey.find(f.key);
            if (it != byKey.end()) forms_.emplace(f.symbol, TextTemplate(it->second.empty() ? f.infix : it->second));
        }
        title_ = language.attribute("title").value();
    }

    const TextTemplate& Function(const GeneNode& node) const override {
        const auto it = forms_.find(node.symbol);
        if (it != forms_.end()) return it->second;
        if (!node.function) throw ComError(v2InvalidCharInFunctionSet, "", std::string("Invalid character: ") + node.symbol);
        throw ComError(5, kSource, "No " + title_ + " form of the function " + node.function->key);
    }
    std::string Terminal(const GeneNode& node) const override {
        if (node.terminal == kNoTerminalNumber) throw ComError::TypeMismatch();
        if (node.terminal >= terminalCount_)
            throw ComError(9, kSource, "Terminal d" + std::to_string(node.terminal) + " is beyond the " +
                                           std::to_string(terminalCount_) + " variables of the data");
        return FillTerminal(terminal_, node.terminal, "");
    }
    std::string Missing() const override {
        throw ComError(9, kSource, "A gene ends before its expression is complete");
    }

private:
    std::string terminal_;
    std::size_t terminalCount_;
    std::string title_;
    std::map<char, TextTemplate> forms_;
};

}  // namespace

std::vector<std::string> CodeLanguages() {
    pugi::xml_document doc;
    std::vector<std::string> names;
    for (auto l : LanguagesSection(doc).children("language")) names.emplace_back(l.attribute("name").value());
    return names;
}

std::string ModelCode(const ModelTree& model, const std::string& language, const ModelCodeContext& context) {
    pugi::xml_document doc;
    const auto node = LanguagesSection(doc).find_child_by_attribute("language", "name", language.c_str());
    if (!node) throw ComError(5, kSource, "No language " + language);
    if (model.genes.empty()) throw ComError(5, kSource, "The run has no model");
    const LanguageStyle style(node, context.terminalNames.size());

    std::string expression;
    WriteGene(LinkedGenes(model), style, expression);

    std::string variables;
    const std::string variable = Text(node.child("variable"));
    for (std::size_t t = 0; t < context.terminalNames.size(); ++t)
        variables += FillTerminal(variable, t, context.terminalNames[t]);
    return FillPlaceholders(Text(node.child("program")), {{"{run}", OneLine(context.run)},
                                                          {"{target}", OneLine(context.target)},
                                                          {"{variables}", variables},
                                                          {"{expression}", expression}});
}

}  // namespace orv::refhost
