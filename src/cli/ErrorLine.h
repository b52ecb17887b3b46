// How a command reports a failure: one line on stderr naming the file and the
// error, and exit status 1.
#pragma once

#include <string>
#include <utility>

#include "common/ComError.h"

namespace orv::cli {

// "orvconvert: FILE: error NUMBER: DESCRIPTION [SOURCE]".
std::string ErrorLine(const std::string& file, const ComError& e);

// Runs the work of a command on file; any failure is printed as the error
// line and ends the program with status 1.
template <class F>
void ReportingErrorsFor(const std::string& file, F&& work);

[[noreturn]] void FailWith(const std::string& file, const ComError& e);

template <class F>
void ReportingErrorsFor(const std::string& file, F&& work) {
    try {
        Guarded(std::forward<F>(work));
    } catch (const ComError& e) {
        FailWith(file, e);
    }
}

}  // namespace orv::cli
