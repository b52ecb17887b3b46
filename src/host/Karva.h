// Best models as expression trees: each gene's K-expression decoded with the
// arities of the host's native functions. The evaluator (ModelEvaluator.h),
// the generated code (ModelCode.h) and the printed formula (Formula.h) all
// work on these trees.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv::refhost {

// A native function of the host's catalogue.
struct NativeFunction {
    char symbol = 0;
    std::string key;    // the catalogue's key, such as "Add" or "Sqrt"
    int arity = 2;
    std::string infix;  // the catalogue's infix template; x0, x1 stand for the arguments
};

// The catalogue's function for a symbol; null when the catalogue lacks it.
const NativeFunction* FindNativeFunction(char symbol);
// All of the catalogue's functions, in catalogue order.
const std::vector<NativeFunction>& NativeFunctions();

inline constexpr std::size_t kMissingNode = static_cast<std::size_t>(-1);
inline constexpr std::size_t kNoTerminalNumber = static_cast<std::size_t>(-1);

// One symbol of a gene.
struct GeneNode {
    char symbol = 'd';                         // 'd' for a terminal, else the function's symbol
    std::size_t terminal = kNoTerminalNumber;  // d3 is 3; kNoTerminalNumber for a "d" without digits
    const NativeFunction* function = nullptr;  // null for terminals and for symbols the catalogue lacks
    std::vector<std::size_t> children;         // argument nodes in order; kMissingNode where the gene ran out

    bool IsTerminal() const { return symbol == 'd'; }
};

// The nodes a gene's expression uses, in reading (breadth-first) order:
// nodes[0] is the root and every node's arguments come after it. Tail symbols
// the expression leaves unused are not kept. A symbol the catalogue lacks
// takes two arguments, as every function of a legacy run does.
struct GeneTree {
    std::vector<GeneNode> nodes;  // empty for an empty gene
};

struct ModelTree {
    std::vector<GeneTree> genes;  // none for a run without a model
    char linking = '+';           // links the genes' values, first to last
};

// Splits the chromosome at its gene separator (" + ", else " * ", as the
// record does) and decodes each gene. Never fails: the evaluator and the code
// generators raise the errors of what they cannot compute.
ModelTree DecodeModel(std::string_view karva, std::string_view linkingFunction);

}  // namespace orv::refhost
