// Pieces of the version-1.0 upgrade: the symbol renaming of old models, the
// tables that the tagged data columns fill, and the data files made from them.
#pragma once

#include <array>
#include <vector>

#include "run_record/clsRun.h"

namespace orv::upgrade {

// Ten terminal columns, then the dependent variable.
inline constexpr std::size_t kVersion1Columns = 11;
inline constexpr std::size_t kDependentColumn = 10;
using Version1Row = std::array<Double, kVersion1Columns>;

struct Version1Tables {
    std::vector<Version1Row> Training;
    std::vector<Version1Row> Validation;
};

// Old terminals a..j become d0..d9, the functions P and T become ^ and G.
String RenameVersion1Symbols(const String& text);

// Stores one value line under its column tag at the given row; a text that
// is not a number, or a tag of no column, stores nothing.
void StoreVersion1Value(Version1Tables& tables, const String& tag, Long row, const String& text);

// The first rows of a table as data-file text: the first `terminals`
// columns and the dependent variable, separated by spaces, one record per
// line, each line ended by CR LF.
String Version1DataText(const std::vector<Version1Row>& table, Long rows, Long terminals,
                        const String& decimalSeparator);

}  // namespace orv::upgrade
