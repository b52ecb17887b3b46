// Readable formulas from chromosomes in Karva notation, printed with the
// infix templates of the host's catalogue.
#pragma once

#include <string>
#include <vector>

namespace orv::refhost {

// Decodes each gene breadth-first (a function takes as many following
// symbols as its arity) and joins the genes with the linking function.
// Terminal t prints as terminalNames[t] when there is one, else as "d" t.
// A gene that runs out of symbols shows "?" where one is missing.
std::string KarvaToFormula(const std::string& karva, const std::string& linkingFunction,
                           const std::vector<std::string>& terminalNames = {});

}  // namespace orv::refhost
