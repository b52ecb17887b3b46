// The upgrade of version-1.0 run files: the old layout is read into a new
// record, its data columns become temporary data files that are imported as
// usual, and the record is saved as a version-2.0 file for the loader.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "common/ComError.h"
#include "common/Conversions.h"
#include "common/PairedWork.h"
#include "common/TextLines.h"
#include "legacy_file/RunFileIO.h"
#include "legacy_file/clsFileParser.h"
#include "platform/Platform.h"
#include "upgrade/UpgradeFolder.h"
#include "upgrade/Version1File.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace upgrade {
namespace {

constexpr std::string_view kTrainTemp = "traintemp.tmp";
constexpr std::string_view kValTemp = "valtemp.tmp";
constexpr std::string_view kRunTemp = "_kvr_temp_tmp_28214855245";
constexpr std::string_view kRunTempFile = "_kvr_temp_tmp_28214855245.kvr";

// The old reader kept the lines in a table with room for lines 0 to 30000,
// grown by 10000 at a time, and walked the data section up to 14 entries
// before the end of that room: lines past that point were never read.
constexpr std::size_t kInitialRoom = 30001;
constexpr std::size_t kRoomGrowth = 10000;
constexpr std::size_t kFirstDataLine = 14;
constexpr std::size_t kUnwalkedTail = 14;

struct ColumnTag {
    std::string_view tag;
    bool validation;
    std::size_t column;
};
constexpr ColumnTag kColumnTags[] = {
    {"<TerminalA>", false, 0},    {"<TerminalB>", false, 1},    {"<TerminalC>", false, 2},
    {"<TerminalD>", false, 3},    {"<TerminalE>", false, 4},    {"<TerminalF>", false, 5},
    {"<TerminalG>", false, 6},    {"<TerminalH>", false, 7},    {"<TerminalI>", false, 8},
    {"<TerminalJ>", false, 9},    {"<VarDep>", false, 10},      {"<ValTerminalA>", true, 0},
    {"<ValTerminalB>", true, 1},  {"<ValTerminalC>", true, 2},  {"<ValTerminalD>", true, 3},
    {"<ValTerminalE>", true, 4},  {"<ValTerminalF>", true, 5},  {"<ValTerminalG>", true, 6},
    {"<ValTerminalH>", true, 7},  {"<ValTerminalI>", true, 8},  {"<ValTerminalJ>", true, 9},
    {"<ValVarDep>", true, 10},
};

struct SectionLines {
    std::size_t lines = 0;
    std::size_t values = 0;  // neither empty nor tag lines
};

// The lines of the data section, and those that the walk would read as
// values: every line but the first starts after a CR or a CR LF, so a line
// that is not a value is a CR followed (after an LF) by "<" or by the CR that
// ends it at once. One pass, in blocks the compiler vectorises.
SectionLines CountSectionLines(std::string_view text) {
    const std::size_t n = text.size();
    if (n == 0) return {};
    using Byte = unsigned char;  // a block's counts fit, and bytes keep the vectors wide
    const auto* t = reinterpret_cast<const Byte*>(text.data());
    const auto opensNoValue = [](Byte c) { return static_cast<Byte>((c == '<') | (c == '\r')); };
    std::size_t ends = 0, others = opensNoValue(t[0]);
    std::size_t i = 0;
    constexpr std::size_t kBlock = 64;
    for (; i + kBlock + 2 <= n; i += kBlock) {
        Byte blockEnds = 0, blockOthers = 0;
        for (std::size_t j = i; j < i + kBlock; ++j) {
            const auto cr = static_cast<Byte>(t[j] == '\r');
            const auto afterLf = static_cast<Byte>((t[j + 1] == '\n') & opensNoValue(t[j + 2]));
            blockEnds = static_cast<Byte>(blockEnds + cr);
            blockOthers = static_cast<Byte>(blockOthers + (cr & (opensNoValue(t[j + 1]) | afterLf)));
        }
        ends += blockEnds;
        others += blockOthers;
    }
    for (; i < n; ++i) {
        if (t[i] != '\r') continue;
        ++ends;
        std::size_t next = i + 1;
        if (next < n && t[next] == '\n') ++next;
        if (next < n) others += opensNoValue(t[next]);
    }
    const std::size_t lines = ends + (EndsInsideLine(text) ? 1 : 0);
    return {lines, lines - others};
}

// The file's text with the old reader's view of it: a table of lines with
// room for 30001 entries, grown by 10000 whenever the next line would not
// fit. The first lines are looked up by number; the data section is walked
// in order, straight from the text.
struct Version1Lines {
    String text;
    std::size_t size = 0;    // lines in the file
    std::size_t values = 0;  // value lines in the data section
    std::size_t room = kInitialRoom;
    std::array<std::string_view, kFirstDataLine> head{};  // lines 0 to 13, empty past the end
    std::size_t dataOffset = 0;                           // where line 14 starts

    String Line(std::size_t i) const { return String(head.at(i)); }
};

Version1Lines ReadVersion1Lines(const FilePath& path) {
    Version1Lines lines;
    lines.text = runfile::ReadWholeFile(path);
    LineCursor cursor(lines.text);
    for (auto& line : lines.head) line = cursor.Next();
    lines.dataOffset = cursor.Offset();
    // Past the first lines, one pass counts the lines and the value lines.
    if (lines.dataOffset < lines.text.size()) {
        const SectionLines data = CountSectionLines(std::string_view(lines.text).substr(lines.dataOffset));
        lines.size = kFirstDataLine + data.lines;
        lines.values = data.values;
    } else {
        lines.size = CountLines(lines.text);
    }
    if (lines.size > lines.room) lines.room += (lines.size - lines.room + kRoomGrowth - 1) / kRoomGrowth * kRoomGrowth;
    return lines;
}

// A count may claim the old reader's initial room of rows, or as many rows as
// the data section has value lines; a count above both asks for rows that
// only the count itself claims. Refuse it with "Out of memory" rather than
// build tables and data files of that size from a small file: this keeps an
// upgrade's memory and disk use in proportion to the file.
std::size_t TableRows(Long count, const Version1Lines& lines) {
    if (count < 1) return 1;
    const auto rows = static_cast<std::size_t>(count);
    if (rows <= kInitialRoom) return rows;
    // A file of fewer lines than its head leaves the data section past the
    // text, as the old reader's table did.
    if (lines.dataOffset > lines.text.size()) throw ComError::SubscriptOutOfRange();
    if (rows > lines.values) throw ComError::OutOfMemory();
    return rows;
}

const ColumnTag* FindColumn(std::string_view tag) {
    for (const auto& c : kColumnTags)
        if (c.tag == tag) return &c;
    return nullptr;
}

// The high bits of the bytes of eight characters (read as a little-endian
// word) that are not digits: a character less "0" that is 10 or more sets its
// byte's high bit. Exact up to and just past the first such byte when that
// is "." or ",", which carries into no other byte.
std::uint64_t NonDigitBytes(std::uint64_t word) {
    const std::uint64_t digits = word ^ 0x3030303030303030;
    return ((digits + 0x7676767676767676) | digits) & 0x8080808080808080;
}

// Where a plain decimal text at p ends: an optional "-", then 1 to 19
// digits with at most one "." or "," among or after them. Read with a mark of
// "." or ",", such a text is always a number, and within the range of a
// Double; nullptr when the text at p is not of that shape.
const char* PlainDecimalEnd(const char* p, const char* const end) {
    if (p != end && *p == '-') ++p;
    if constexpr (std::endian::native == std::endian::little) {
        // The usual value ends within eight characters: its first two
        // characters that are not digits, found at once in a word, end its
        // whole part and its fraction.
        if (end - p >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, p, 8);
            std::uint64_t others = NonDigitBytes(word);
            const int stop = others == 0 ? 8 : std::countr_zero(others) / 8;
            const auto at = static_cast<char>(word >> (8 * (stop & 7)));
            if (stop < 8 && at != '.' && at != ',') return stop >= 1 ? p + stop : nullptr;
            if (stop < 8) {
                others &= others - 1;
                const int next = others == 0 ? 8 : std::countr_zero(others) / 8;
                if (next < 8) return next >= 2 ? p + next : nullptr;  // a digit besides the mark
            }
        }
    }
    // Longer texts, and the last few characters of the file, one at a time.
    const char* const first = p;
    while (p != end && *p >= '0' && *p <= '9') ++p;
    std::ptrdiff_t digits = p - first;
    if (p != end && (*p == '.' || *p == ',')) {
        const char* const fraction = ++p;
        while (p != end && *p >= '0' && *p <= '9') ++p;
        digits += p - fraction;
    }
    return digits >= 1 && digits <= 19 ? p : nullptr;
}

// PlainDecimalText's usual case, done in one word: a text of three to eight
// characters in fileText (with eight to read from where it starts) whose
// first and last characters are digits other than "0" and whose one other
// character is the mark, "." or ",". Written to out (which has room for
// eight) with the given mark; false, with nothing written that counts, for
// any other.
bool ShortPlainDecimal(char* out, std::string_view fileText, std::size_t offset, std::size_t length, char mark) {
    if constexpr (std::endian::native != std::endian::little) return false;
    if (length < 3 || length > 8 || fileText.size() - offset < 8) return false;
    std::uint64_t word = 0;
    std::memcpy(&word, fileText.data() + offset, 8);
    const std::uint64_t inText = length == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * length)) - 1;
    const std::uint64_t others = NonDigitBytes(word) & inText;
    if (others == 0 || (others & (others - 1)) != 0) return false;
    const auto at = static_cast<std::size_t>(std::countr_zero(others) / 8);
    const auto c = static_cast<char>(word >> (8 * at));
    const auto first = static_cast<char>(word);
    const auto last = static_cast<char>(word >> (8 * (length - 1)));
    if ((c != '.' && c != ',') || at == 0 || at == length - 1 || first == '0' || last == '0') return false;
    std::memcpy(out, &word, 8);
    out[at] = mark;
    return true;
}

// Reads one value line; a text that is not a number stores nothing.
void StoreVersion1Value(Version1Table& table, std::size_t column, std::size_t row, std::string_view text,
                        std::string_view decimalMark) {
    Double value = 0;
    try {
        value = v2LocaleSettings::NumberFromText(text, decimalMark);
    } catch (const ComError& e) {
        if (e.Number() == err::kTypeMismatch) return;  // not a number: the row stays as it was
        throw;
    }
    table.Store(row, column, value);
}

// The walk of the data section from p, its line i, on: up to line last,
// or up to the line at stopAt.
void WalkLines(const Version1Lines& lines, const clsRun& run, Version1Tables& tables, std::string_view decimalMark,
               const char* p, std::size_t i, std::size_t last, const char* stopAt) {
    // With a mark of "." or ",", reading a plain value with its own mark as
    // the separator gives what the replacement of its mark would.
    const bool plainMark = decimalMark == "." || decimalMark == ",";
    const char* const end = lines.text.data() + lines.text.size();
    const auto lineEnd = [end](const char* from) {
        const void* cr = std::memchr(from, '\r', static_cast<std::size_t>(end - from));
        return cr == nullptr ? end : static_cast<const char*>(cr);
    };
    const auto nextLine = [end](const char* cr) {
        return cr == end ? end : cr + 1 != end && cr[1] == '\n' ? cr + 2 : cr + 1;
    };
    Version1Table* table = nullptr;
    std::size_t column = 0;
    Long limit = 0;
    Long row = 0;
    for (; i <= last && p != stopAt; ++i) {
        if (p != end && *p == '<') {
            const char* const cr = lineEnd(p);
            const std::string_view tag(p, static_cast<std::size_t>(cr - p));
            const ColumnTag* found = FindColumn(tag);
            table = found == nullptr ? nullptr : found->validation ? &tables.Validation : &tables.Training;
            column = found == nullptr ? 0 : found->column;
            limit = tag.find("<Val") != std::string_view::npos ? run.NumeroResultadosValidar()
                                                                : run.NumeroResultadosExp();
            row = 0;
            ++i;  // the value lines start right after the tag
            p = nextLine(cr);
        }
        if (p == end || row >= limit) {
            p = nextLine(lineEnd(p));
            continue;
        }
        // A plain value is kept as the place of its text, read when its data
        // file is written.
        const char* const stop = plainMark && table != nullptr ? PlainDecimalEnd(p, end) : nullptr;
        if (stop != nullptr && (stop == end || *stop == '\r')) {
            table->StoreText(static_cast<std::size_t>(row), column, lines.text,
                             static_cast<std::size_t>(p - lines.text.data()), static_cast<std::size_t>(stop - p),
                             decimalMark);
            ++row;
            p = nextLine(stop);
            continue;
        }
        const char* const cr = lineEnd(p);
        const std::string_view line(p, static_cast<std::size_t>(cr - p));
        if (!line.empty()) {
            if (table != nullptr) StoreVersion1Value(*table, column, static_cast<std::size_t>(row), line, decimalMark);
            ++row;
        }
        p = nextLine(cr);
    }
}

// A line near the middle of the data section where a second thread can take
// over the walk: a column's tag line, which the walk reaches at the top of
// its loop (the line before it is no tag) and which starts afresh, in a
// section whose column tags are all different, so that the two parts fill
// different cells. nullptr when there is none.
const char* SplitLine(std::string_view text, std::size_t from) {
    constexpr std::size_t kMostTags = 64;
    std::vector<std::size_t> tags;  // lines that start with "<"
    for (std::size_t q = text.find('<', from); q != std::string_view::npos; q = text.find('<', q + 1)) {
        const bool lineStart =
            q == from || text[q - 1] == '\r' || (text[q - 1] == '\n' && q >= 2 && text[q - 2] == '\r');
        if (!lineStart) continue;
        if (tags.size() == kMostTags) return nullptr;
        tags.push_back(q);
    }
    std::vector<const ColumnTag*> columns;
    for (std::size_t t = 0; t < tags.size(); ++t) {
        const std::size_t cr = std::min(text.find('\r', tags[t]), text.size());
        const std::size_t nextLine = text.compare(cr, 2, "\r\n") == 0 ? cr + 2 : cr + 1;
        if (t + 1 < tags.size() && tags[t + 1] == nextLine) return nullptr;  // read as a value line
        if (const ColumnTag* found = FindColumn(text.substr(tags[t], cr - tags[t]))) {
            if (std::find(columns.begin(), columns.end(), found) != columns.end()) return nullptr;
            columns.push_back(found);
        }
    }
    const std::size_t middle = from + (text.size() - from) / 2;
    const auto distance = [middle](std::size_t q) { return q > middle ? q - middle : middle - q; };
    std::size_t best = 0;
    for (const std::size_t q : tags)
        if (q > from && (best == 0 || distance(q) < distance(best))) best = q;
    return best == 0 ? nullptr : text.data() + best;
}

// Lines 14 on, up to 14 entries before the end of the table's room (entries
// past the file's last line are empty and store nothing). A large section is
// walked in two parts on two threads, split at a tag line; the second part
// starts from the line count of the first.
void WalkDataSection(const Version1Lines& lines, const clsRun& run, Version1Tables& tables,
                     std::string_view decimalMark) {
    if (lines.room <= kFirstDataLine + kUnwalkedTail) return;
    const std::size_t last = std::min(lines.room - 1 - kUnwalkedTail, lines.size);
    // A file of fewer lines whose last one has no line end leaves the first
    // data line past the text, as the old reader's table did.
    if (lines.dataOffset > lines.text.size()) throw ComError::SubscriptOutOfRange();
    const std::string_view text = lines.text;
    const char* const first = text.data() + lines.dataOffset;
    constexpr std::size_t kSplitFrom = 1 << 20;
    const char* const split = std::thread::hardware_concurrency() > 1 && text.size() - lines.dataOffset >= kSplitFrom
                                  ? SplitLine(text, lines.dataOffset)
                                  : nullptr;
    if (split == nullptr) {
        WalkLines(lines, run, tables, decimalMark, first, kFirstDataLine, last, nullptr);
        return;
    }
    std::exception_ptr secondFailure;
    std::thread second([&] {
        try {
            const auto before = static_cast<std::size_t>(std::count(first, split, '\r'));
            WalkLines(lines, run, tables, decimalMark, split, kFirstDataLine + before, last, nullptr);
        } catch (...) {
            secondFailure = std::current_exception();
        }
    });
    try {
        WalkLines(lines, run, tables, decimalMark, first, kFirstDataLine, last, split);
    } catch (...) {
        second.join();
        throw;
    }
    second.join();
    if (secondFailure) std::rethrow_exception(secondFailure);
}

// Removes the temporary data files on every way out of the upgrade.
class TempFiles {
public:
    void Add(FilePath path) { paths_.push_back(std::move(path)); }
    ~TempFiles() {
        for (const auto& p : paths_) runfile::RemoveFile(p);
    }

private:
    std::vector<FilePath> paths_;
};

// Writes a table as a data file, its cells' texts taken from fileText.
void WriteTable(const FilePath& path, const Version1Table& table, Long rows, const clsRun& run,
                std::string_view decimalMark, std::string_view fileText) {
    runfile::RemoveFile(path);
    runfile::FileWriter out(path);
    WriteVersion1Data(out, table, rows, run.NumeroTerminais(), decimalMark, fileText);
    out.Close();
}

// Imports a written data file into the given set.
void ImportTable(clsFileParser& parser, const FilePath& path, Long set, clsRun& run) {
    parser.OpenDataFile(path, set, 0, run);
    runfile::RemoveFile(path);
}

}  // namespace

String RenameVersion1Symbols(const String& text) {
    // "d" goes first, so that the "d" of the new names is not renamed again.
    static constexpr std::pair<std::string_view, std::string_view> kRenames[] = {
        {"d", "d3"}, {"a", "d0"}, {"b", "d1"}, {"c", "d2"}, {"e", "d4"}, {"f", "d5"},
        {"g", "d6"}, {"h", "d7"}, {"i", "d8"}, {"j", "d9"}, {"P", "^"},  {"T", "G"},
    };
    String s = text;
    for (const auto& [from, to] : kRenames) s = ReplaceAll(s, from, to);
    return s;
}

Version1Table::Version1Table(std::size_t rows, Long terminals, bool keepAll) : rows_(rows) {
    for (std::size_t c = 0; c < kVersion1Columns; ++c) {
        const bool kept = keepAll || c == kDependentColumn || static_cast<Long>(c) < terminals;
        slot_[c] = kept ? static_cast<int>(width_++) : -1;
    }
    if (rows_ * width_ == 0) return;
    cells_.reset(static_cast<std::uint64_t*>(std::calloc(rows_ * width_, sizeof(std::uint64_t))));
    if (!cells_) throw ComError::OutOfMemory();
    platform::PreferLargePages(cells_.get(), rows_ * width_ * sizeof(std::uint64_t));
}

std::uint64_t Version1Table::ValueBits(std::string_view fileText, std::size_t offset, std::size_t length,
                                       std::string_view decimalMark) {
    const Double value = v2LocaleSettings::NumberFromText(fileText.substr(offset, length), decimalMark);
    return std::bit_cast<std::uint64_t>(value);
}

void WriteVersion1Data(runfile::FileWriter& out, const Version1Table& table, Long rows, Long terminals,
                       std::string_view decimalSeparator, std::string_view fileText) {
    if (terminals > static_cast<Long>(kVersion1Columns) || rows > static_cast<Long>(table.Rows()))
        throw ComError::SubscriptOutOfRange();
    // A number's text has no space at either end unless the mark has one;
    // only then can a line need trimming.
    const bool trim = decimalSeparator.find(' ') != std::string_view::npos;
    // Rows are written straight into a piece's buffer, which grows when a
    // line might not fit in what is left: a cell takes at most its text and
    // the mark, or a value's text. Pieces are written on two threads
    // (PairedWork) and go to the file in order.
    const std::size_t cellRoom =
        std::max<std::size_t>(64, Version1Table::kLongestText + 1) + decimalSeparator.size() + 1;
    const std::size_t lineRoom = (static_cast<std::size_t>(std::max<Long>(terminals, 0)) + 1) * cellRoom + 2;
    const bool oneCharMark = decimalSeparator.size() == 1;
    const auto put = [&](char*& p, String& value, std::size_t row, std::size_t column) {
        const Version1Cell cell = table.At(row, column);
        Double number = cell.value;
        if (cell.length > 0) {
            if (oneCharMark && ShortPlainDecimal(p, fileText, cell.offset, cell.length, decimalSeparator[0])) {
                p += cell.length;
                return;
            }
            const std::string_view text = fileText.substr(cell.offset, cell.length);
            if (char* end = PlainDecimalText(p, text, decimalSeparator)) {
                p = end;
                return;
            }
            number = v2LocaleSettings::NumberFromText(text, decimalSeparator);
        }
        value.clear();
        AppendDoubleText(value, number, decimalSeparator);
        p = std::copy(value.begin(), value.end(), p);
    };
    struct Piece {
        Long first = 0, last = 0;  // its rows
        std::unique_ptr<char[]> text;
        std::size_t room = 0, size = 0;
    };
    const auto writeRows = [&](Piece& piece) {
        String value;
        piece.size = 0;
        for (Long r = piece.first; r < piece.last; ++r) {
            if (piece.room - piece.size < lineRoom) {
                const std::size_t room = std::max(2 * piece.room, piece.size + lineRoom);
                auto text = std::make_unique_for_overwrite<char[]>(room);
                std::copy_n(piece.text.get(), piece.size, text.get());
                piece.text = std::move(text);
                piece.room = room;
            }
            const auto row = static_cast<std::size_t>(r);
            char* const start = piece.text.get() + piece.size;
            char* p = start;
            for (Long c = 0; c < terminals; ++c) {
                put(p, value, row, static_cast<std::size_t>(c));
                *p++ = ' ';
            }
            put(p, value, row, kDependentColumn);
            if (trim) {
                const String line(start, p);
                const std::string_view kept = TrimSpaces(line);
                p = std::copy(kept.begin(), kept.end(), start);
            }
            *p++ = '\r';
            *p++ = '\n';
            piece.size = static_cast<std::size_t>(p - piece.text.get());
        }
    };
    constexpr Long kPieceRows = 1 << 14;
    Long next = 0;
    PairedWork<Piece>(
        [&](Piece& piece) {
            piece.first = next;
            piece.last = next = std::min(next + kPieceRows, rows);
            return piece.first < piece.last;
        },
        writeRows, [&](Piece& piece) { out.Write(std::string_view(piece.text.get(), piece.size)); });
}

}  // namespace upgrade

FilePath clsFileParser::ConvertOldRun(const FilePath& Path, clsRun& theRun) {
    using namespace upgrade;
    return Guarded([&]() -> FilePath {
        // A parser that upgraded before gives its folder back first.
        UpgradeFolder_.reset();
        std::shared_ptr<UpgradeFolder> folder =
            UpgradeIn_.empty() ? UpgradeFolder::Acquire() : UpgradeFolder::Acquire(UpgradeIn_);
        const FilePath runTemp = folder->File(kRunTempFile);
        runfile::RemoveFile(runTemp);
        if (Path.empty())
            throw ComError(91, "clsFileParser::ConvertOldRun", "Object variable or With block variable not set");

        const v2LocaleSettings::OperationSeparator decimal;
        Version1Lines lines = ReadVersion1Lines(Path);
        if (lines.head[0] != "<Zolvane><ORV 1.00>" && lines.head[0] != "<Zolvane><ORVae 1.00>")
            throw ComError(2001, "frmMain::OpenRun", "This file is invalid or was saved with a newer version of ORV.");

        clsRun run;
        run.PathFile(FilePath_.Text());
        run.ConvertValues(lines.Line(1));
        run.Key(lines.Line(2));
        run.Karva(RenameVersion1Symbols(lines.Line(5)));
        run.BestFitnessRun(ReadNumber(lines.Line(6)));
        run.MaxFitnessRun(ReadNumber(lines.Line(7)));
        run.rsQuareRun(ReadNumber(lines.Line(8)));
        run.BestFitnessVal(ReadNumber(lines.Line(9)));
        run.MaxFitnessVal(ReadNumber(lines.Line(10)));
        run.RsquareVal(ReadNumber(lines.Line(11)));
        run.TrainPathFile(lines.Line(12));
        run.ValPathFile(lines.Line(13));

        // The data files hold the first NumeroTerminais columns and the
        // dependent variable; a mark with a space in it could split a value
        // into more fields on import, so then every column is kept.
        const bool keepAll = decimal.Mark().find(' ') != String::npos;
        Version1Tables tables;
        tables.Training = Version1Table(TableRows(run.NumeroResultadosExp(), lines), run.NumeroTerminais(), keepAll);
        tables.Validation =
            Version1Table(TableRows(run.NumeroResultadosValidar(), lines), run.NumeroTerminais(), keepAll);
        WalkDataSection(lines, run, tables, decimal.Mark());

        // Each table goes as soon as its data file is written.
        TempFiles cleanup;
        const FilePath trainTemp = folder->File(kTrainTemp);
        cleanup.Add(trainTemp);
        WriteTable(trainTemp, tables.Training, run.NumeroResultadosExp(), run, decimal.Mark(), lines.text);
        tables.Training = Version1Table{};
        ImportTable(*this, trainTemp, 0, run);
        if (run.NumeroResultadosValidar() >= 1) {
            const FilePath valTemp = folder->File(kValTemp);
            cleanup.Add(valTemp);
            WriteTable(valTemp, tables.Validation, run.NumeroResultadosValidar(), run, decimal.Mark(), lines.text);
            tables.Validation = Version1Table{};
            ImportTable(*this, valTemp, 1, run);
        }
        tables.Validation = Version1Table{};
        // The loader reads the upgraded file into the room of the old one.
        FileText_ = std::move(lines.text);
        FileText_.clear();

        SaveKvr(folder->File(kRunTemp), run);
        theRun = std::move(run);
        theRun.GravadoEmVersaoAnterior(true);
        // The loader reads the upgraded file next; the folder stays ours
        // until it has.
        UpgradeFolder_ = std::move(folder);
        return runTemp;
    });
}

}  // namespace orv
