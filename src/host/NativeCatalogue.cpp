// The host's catalogue of native functions and the XML node view the
// conversion walks. Each function element has six attributes in a fixed
// order (name, group, key, arity, code, symbol); its text is an infix
// template in which x0 and x1 stand for the arguments.
#include <pugixml.hpp>

#include "common/ComError.h"
#include "host/ReferenceHost.h"

namespace orv::refhost {
namespace {

const char* const kCatalogue = R"(<?xml version="1.0" encoding="UTF-8"?>
<Catalogue>
  <FFnatives>
    <function name="Addition" group="Arithmetic" key="Add" arity="2" code="1" symbol="+">(x0+x1)</function>
    <function name="Subtraction" group="Arithmetic" key="Sub" arity="2" code="2" symbol="-">(x0-x1)</function>
    <function name="Multiplication" group="Arithmetic" key="Mul" arity="2" code="3" symbol="*">(x0*x1)</function>
    <function name="Division" group="Arithmetic" key="Div" arity="2" code="4" symbol="/">(x0/x1)</function>
    <function name="Power" group="Power" key="Pow" arity="2" code="5" symbol="^">(x0^x1)</function>
    <function name="Average" group="Arithmetic" key="Avg2" arity="2" code="6" symbol="G">((x0+x1)/2)</function>
    <function name="Square root" group="Power" key="Sqrt" arity="1" code="7" symbol="Q">sqrt(x0)</function>
    <function name="Exponential" group="Power" key="Exp" arity="1" code="8" symbol="E">exp(x0)</function>
    <function name="Natural logarithm" group="Power" key="Ln" arity="1" code="9" symbol="L">ln(x0)</function>
    <function name="Sine" group="Trigonometry" key="Sin" arity="1" code="10" symbol="S">sin(x0)</function>
    <function name="Cosine" group="Trigonometry" key="Cos" arity="1" code="11" symbol="C">cos(x0)</function>
    <function name="Tangent" group="Trigonometry" key="Tan" arity="1" code="12" symbol="T">tan(x0)</function>
    <function name="Minimum" group="Comparison" key="Min2" arity="2" code="13" symbol="m">min(x0,x1)</function>
    <function name="Maximum" group="Comparison" key="Max2" arity="2" code="14" symbol="M">max(x0,x1)</function>
    <function name="Absolute value" group="Arithmetic" key="Abs" arity="1" code="15" symbol="A">abs(x0)</function>
    <function name="Less than" group="Comparison" key="LT" arity="2" code="16" symbol="&lt;">(x0&lt;x1)</function>
    <function name="Greater than" group="Comparison" key="GT" arity="2" code="17" symbol="&gt;">(x0&gt;x1)</function>
  </FFnatives>
</Catalogue>
)";

// A node of a parsed document; keeps the document alive.
class XmlNode : public host::IXmlNode {
public:
    XmlNode(std::shared_ptr<pugi::xml_document> document, pugi::xml_node node)
        : document_(std::move(document)), node_(node) {}

    std::shared_ptr<host::IXmlNode> FirstChild() override { return Wrap(node_.first_child()); }
    std::shared_ptr<host::IXmlNode> NextSibling() override { return Wrap(node_.next_sibling()); }
    std::int32_t AttributeCount() override {
        std::int32_t n = 0;
        for (auto a = node_.first_attribute(); a; a = a.next_attribute()) ++n;
        return n;
    }
    std::string AttributeText(std::int32_t position) override {
        std::int32_t i = 0;
        for (auto a = node_.first_attribute(); a; a = a.next_attribute(), ++i)
            if (i == position) return a.value();
        throw ComError(91, "ReferenceHost", "Object variable or With block variable not set");
    }
    std::string Text() override { return node_.text().get(); }
    std::int32_t CountChildren(const std::string& name) override {
        std::int32_t n = 0;
        for (auto c : node_.children(name.c_str())) {
            (void)c;
            ++n;
        }
        return n;
    }

private:
    std::shared_ptr<host::IXmlNode> Wrap(pugi::xml_node node) {
        if (!node) return nullptr;
        return std::make_shared<XmlNode>(document_, node);
    }
    std::shared_ptr<pugi::xml_document> document_;
    pugi::xml_node node_;
};

}  // namespace

const std::string& NativeCatalogueXml() {
    static const std::string text = kCatalogue;
    return text;
}

void CatalogueSource::Open() {
    auto document = std::make_shared<pugi::xml_document>();
    const auto result = document->load_string(NativeCatalogueXml().c_str());
    if (!result) throw ComError(5, "ReferenceHost", std::string("Catalogue unreadable: ") + result.description());
    document_ = std::move(document);
}

std::shared_ptr<host::IXmlNode> CatalogueSource::GetSection(const std::string& name) {
    if (!document_) throw ComError(91, "ReferenceHost", "Catalogue not open");
    const auto section = document_->document_element().child(name.c_str());
    if (!section) throw ComError(5, "ReferenceHost", "No catalogue section " + name);
    return std::make_shared<XmlNode>(document_, section);
}

}  // namespace orv::refhost
