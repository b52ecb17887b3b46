// Writing gene trees as text through templates in which x0, x1, ... stand
// for the arguments: the printed formula and the generated code share it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/Karva.h"

namespace orv::refhost {

// A template cut once into literal text and argument slots.
class TextTemplate {
public:
    TextTemplate() = default;
    explicit TextTemplate(std::string_view text);

    struct Part {
        std::string literal;
        int argument = -1;  // the slot's argument, or -1 for literal text
    };
    const std::vector<Part>& Parts() const { return parts_; }
    // The template with its slots filled.
    std::string Fill(const std::vector<std::string>& arguments) const;

private:
    std::vector<Part> parts_;
};

// What a style of text makes of each kind of node.
class ExpressionStyle {
public:
    virtual ~ExpressionStyle() = default;
    virtual const TextTemplate& Function(const GeneNode& node) const = 0;
    virtual std::string Terminal(const GeneNode& node) const = 0;
    // Where the gene ran out of symbols, or is empty.
    virtual std::string Missing() const = 0;
};

// Appends the gene's expression to out, without recursion so that no
// chromosome can exhaust the stack.
void WriteGene(const GeneTree& gene, const ExpressionStyle& style, std::string& out);

}  // namespace orv::refhost
