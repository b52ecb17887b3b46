// Small pieces of HTML text shared by the report pages.
#pragma once

#include <string>
#include <string_view>

namespace orv::report {

// Escapes the five characters that can end or change markup, so that any text
// from a run (author, comments, field names) shows as it stands.
std::string HtmlEscape(std::string_view text);

// A relative link to a file name: every byte but letters, digits and "-._~"
// percent-encoded, so that "#", "?" or "%" in a name stay part of it.
std::string UrlEscape(std::string_view name);

// A number as the run's summary shows it: "." as decimal mark, at most 15
// significant digits.
std::string NumberText(double value);

// A computed figure for reading: six significant digits.
std::string ShortNumber(double value);

}  // namespace orv::report
