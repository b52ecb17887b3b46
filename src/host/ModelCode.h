// The best model as a program of another language, written from the decoded
// model (Karva.h) with each language's templates, which the catalogue keeps
// beside its infix templates.
#pragma once

#include <string>
#include <vector>

#include "host/Karva.h"

namespace orv::refhost {

// The languages in catalogue order, by the name a user gives ("c", ...).
std::vector<std::string> CodeLanguages();

// What the program says about its inputs, as UTF-8.
struct ModelCodeContext {
    std::string run;                          // the run's key
    std::vector<std::string> terminalNames;   // one per independent variable, d0 first
    std::string target;                       // the dependent variable
};

// The program that computes the model in the language. Raises 5 for a
// language the catalogue lacks, 5006 "Invalid character: X" for a function
// symbol it lacks, 13 for a terminal "d" without a number, and 9 for a
// terminal beyond terminalNames or a gene that ends before its expression.
std::string ModelCode(const ModelTree& model, const std::string& language, const ModelCodeContext& context);

}  // namespace orv::refhost
