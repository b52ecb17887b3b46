// The host's catalogue of native functions and the XML node view the
// conversion walks. Each function element has six attributes in a fixed
// order (name, group, key, arity, code, symbol); its text is an infix
// template in which x0 and x1 stand for the arguments. A second section
// writes the same functions in the languages a model is exported to.
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
  <!-- The same functions written in the languages a best model is exported
       to, by catalogue key, with the frame of the exported program; the
       functions a language lists as infix take the catalogue's own form. In a
       program {run}, {target}, {variables} and {expression} are filled in;
       in a terminal or a variable line {index} (from 0), {column} (the
       spreadsheet column of the exported data) and {name}. Every form must
       compute what the host's evaluator computes. -->
  <Languages>
    <language name="c" title="C" infix="Add Sub Mul Div Avg2">
      <program><![CDATA[// Best model of the run "{run}": {target} from the independent variables
{variables}#include <math.h>

double model(const double d[])
{
    return {expression};
}
]]></program>
      <variable><![CDATA[//   d[{index}] = "{name}"
]]></variable>
      <terminal>d[{index}]</terminal>
      <function key="Pow">pow(x0, x1)</function>
      <function key="Sqrt">sqrt(x0)</function>
      <function key="Exp">exp(x0)</function>
      <function key="Ln">log(x0)</function>
      <function key="Sin">sin(x0)</function>
      <function key="Cos">cos(x0)</function>
      <function key="Tan">tan(x0)</function>
      <function key="Min2">fmin(x0, x1)</function>
      <function key="Max2">fmax(x0, x1)</function>
      <function key="Abs">fabs(x0)</function>
      <function key="LT">(x0 &lt; x1 ? 1.0 : 0.0)</function>
      <function key="GT">(x0 &gt; x1 ? 1.0 : 0.0)</function>
    </language>
    <language name="python" title="Python" infix="Add Sub Mul Div Avg2">
      <program><![CDATA[# Best model of the run "{run}": {target} from the independent variables
{variables}import math


def model(d):
    return {expression}
]]></program>
      <variable><![CDATA[#   d[{index}] = "{name}"
]]></variable>
      <terminal>d[{index}]</terminal>
      <function key="Pow">math.pow(x0, x1)</function>
      <function key="Sqrt">math.sqrt(x0)</function>
      <function key="Exp">math.exp(x0)</function>
      <function key="Ln">math.log(x0)</function>
      <function key="Sin">math.sin(x0)</function>
      <function key="Cos">math.cos(x0)</function>
      <function key="Tan">math.tan(x0)</function>
      <function key="Min2">min(x0, x1)</function>
      <function key="Max2">max(x0, x1)</function>
      <function key="Abs">abs(x0)</function>
      <function key="LT">(1.0 if x0 &lt; x1 else 0.0)</function>
      <function key="GT">(1.0 if x0 &gt; x1 else 0.0)</function>
    </language>
    <language name="javascript" title="JavaScript" infix="Add Sub Mul Div Avg2">
      <program><![CDATA[// Best model of the run "{run}": {target} from the independent variables
{variables}function model(d) {
    return {expression};
}
]]></program>
      <variable><![CDATA[//   d[{index}] = "{name}"
]]></variable>
      <terminal>d[{index}]</terminal>
      <function key="Pow">Math.pow(x0, x1)</function>
      <function key="Sqrt">Math.sqrt(x0)</function>
      <function key="Exp">Math.exp(x0)</function>
      <function key="Ln">Math.log(x0)</function>
      <function key="Sin">Math.sin(x0)</function>
      <function key="Cos">Math.cos(x0)</function>
      <function key="Tan">Math.tan(x0)</function>
      <function key="Min2">Math.min(x0, x1)</function>
      <function key="Max2">Math.max(x0, x1)</function>
      <function key="Abs">Math.abs(x0)</function>
      <function key="LT">(x0 &lt; x1 ? 1 : 0)</function>
      <function key="GT">(x0 &gt; x1 ? 1 : 0)</function>
    </language>
    <language name="spreadsheet" title="spreadsheet" infix="Add Sub Mul Div Avg2">
      <program>={expression}
</program>
      <variable></variable>
      <terminal>{column}2</terminal>
      <function key="Pow">POWER(x0,x1)</function>
      <function key="Sqrt">SQRT(x0)</function>
      <function key="Exp">EXP(x0)</function>
      <function key="Ln">LN(x0)</function>
      <function key="Sin">SIN(x0)</function>
      <function key="Cos">COS(x0)</function>
      <function key="Tan">TAN(x0)</function>
      <function key="Min2">MIN(x0,x1)</function>
      <function key="Max2">MAX(x0,x1)</function>
      <function key="Abs">ABS(x0)</function>
      <function key="LT">IF(x0&lt;x1,1,0)</function>
      <function key="GT">IF(x0&gt;x1,1,0)</function>
    </language>
  </Languages>
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
