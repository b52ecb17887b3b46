#include <gtest/gtest.h>

#include "host/Formula.h"

namespace orv::refhost {
namespace {

TEST(Formula, DecodesGenesBreadthFirst) {
    struct Case {
        std::string karva, linking, formula;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"+d0d1", "+", "(d0+d1)", {}},
        {"-*d0d1d2", "+", "((d1*d2)-d0)", {}},
        {"Qd2d1d0", "+", "sqrt(d2)", {}},
        {"+d0d1 * /d1d0", "*", "[(d0+d1)] * [(d1/d0)]", {}},
        {"d3 + d12", "+", "[d3] + [d12]", {}},
        {"+d0", "+", "(d0+?)", {}},
        {"^d0d1", "+", "(x^y)", {"x", "y"}},
        {"  ", "+", "", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(KarvaToFormula(c.karva, c.linking, c.names), c.formula) << c.karva;
}

TEST(Formula, DeepGenesDoNotExhaustTheStack) {
    std::string gene;  // each "+" takes a terminal and the next "+": one long chain
    for (int i = 0; i < 200000; ++i) gene += "+d";
    gene += "d";
    EXPECT_EQ(KarvaToFormula(gene, "+").size(), 200000 * 3 + 200001 * 1 + 0u);
}

}  // namespace
}  // namespace orv::refhost
