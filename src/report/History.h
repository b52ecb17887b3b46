// The evolution history a run keeps: "generation;fitness" entries joined by
// "@", one for each generation where the best fitness improved.
#pragma once

#include <string>
#include <vector>

namespace orv::report {

struct HistoryEntry {
    double generation;
    double fitness;
};

struct History {
    std::vector<HistoryEntry> entries;
    std::size_t unreadable = 0;  // entries that were not two numbers
};

// Reads the entries in order. Numbers take "." or "," as decimal mark, as the
// run file's other numbers do; an entry that is not two numbers is counted
// and left out, so that one damaged entry does not hide the rest.
History ParseEvolveHistory(const std::string& text);

}  // namespace orv::report
