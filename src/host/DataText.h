// The text of a data file as the reference host reads it: lines end at
// CR LF, LF or a lone CR; lines of only spaces and tabs are skipped; when
// the file has field names, the first other line holds them; every other
// line is one record of numbers in the user's decimal mark, split at the
// separator (a space separator also swallows runs of spaces).
//
// The data sets read their files with it a piece at a time, and the
// recomputation of a model's fit reads a run's data texts with it, so that
// both see the same records.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace orv::refhost {

// The records of some whole lines of a data text.
struct DataRows {
    std::vector<double> values;
    std::vector<std::size_t> rowEnds;  // each record's end in values
    std::vector<std::string> names;    // the names line, when it was among these lines
    std::size_t lines = 0;             // lines read, up to the failing one
    bool loneCr = false;               // whether one of them ended at a CR without an LF

    // The first line that failed, counted from 1 within these lines.
    std::exception_ptr failure;
    std::size_t failureLine = 0;
    std::size_t failureField = 0;
    std::string failureText;

    void Clear();
};

// Reads the lines of text (the last one may lack its line break) into rows,
// the names line first when namesPending, which is then cleared. Stops at the
// first line that fails, recording it in rows.
void ReadDataLines(std::string_view text, std::string_view separator, std::string_view decimal, bool& namesPending,
                   DataRows& rows);

// Raises rows' failure, its line counted after linesBefore: 13 "Line N,
// field F: 'x' is not a number" for a field that is not a number, else the
// error as it came.
[[noreturn]] void ThrowDataFailure(const DataRows& rows, std::size_t linesBefore);

// The length of text's longest prefix of whole lines: up to its last line
// break, where a CR last in the text counts only at the end of the data (it
// may be the first half of a CR LF). 0 when there is none.
std::size_t WholeLinesLength(std::string_view text, bool atEnd);

}  // namespace orv::refhost
