// The one table of the RUN block: every tag with its section, the kind of its
// value, and how it is read into and written from a run record. The reader
// and the writer both walk this table, so they cannot disagree.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "run_record/clsRun.h"

namespace orv::runblock {

enum class Section { Attr, Gops, State, Evolved, Id };
enum class Kind { Long, Double, Boolean, Text, TextForm };

struct TagRow {
    std::string_view tag;
    Section section;
    Kind kind;
    void (*read)(clsRun& run, const String& value);
    String (*write)(const clsRun& run);
};

// The 45 rows in file order.
std::span<const TagRow> Tags();

// The row of a tag (exact, case-sensitive match), or null.
const TagRow* FindTag(std::string_view tag);

// "<" and ">" cannot stand in a value, so the function set and the
// K-expression carry them as "w" and "W".
String EncodeAngleBrackets(const String& text);
String DecodeAngleBrackets(const String& text);

}  // namespace orv::runblock
