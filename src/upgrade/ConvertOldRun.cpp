// The upgrade of version-1.0 run files: the old layout is read into a new
// record, its data columns become temporary data files that are imported as
// usual, and the record is saved as a version-2.0 file for the loader.
#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <utility>

#include "common/ComError.h"
#include "common/Conversions.h"
#include "common/TextLines.h"
#include "legacy_file/RunFileIO.h"
#include "legacy_file/clsFileParser.h"
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

// The file's text with the old reader's view of it: a table of lines with
// room for 30001 entries, grown by 10000 whenever the next line would not
// fit. The first lines are looked up by number; the data section is walked
// in order, straight from the text.
struct Version1Lines {
    String text;
    std::size_t size = 0;  // lines in the file
    std::size_t room = kInitialRoom;
    std::array<std::string_view, kFirstDataLine> head{};  // lines 0 to 13, empty past the end
    std::size_t dataOffset = 0;                           // where line 14 starts

    String Line(std::size_t i) const { return String(head.at(i)); }
};

Version1Lines ReadVersion1Lines(const FilePath& path) {
    Version1Lines lines;
    lines.text = runfile::ReadWholeFile(path);
    lines.size = CountLines(lines.text);
    if (lines.size > lines.room) lines.room += (lines.size - lines.room + kRoomGrowth - 1) / kRoomGrowth * kRoomGrowth;
    LineCursor cursor(lines.text);
    for (auto& line : lines.head) line = cursor.Next();
    lines.dataOffset = cursor.Offset();
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
    std::size_t values = 0;
    LineCursor cursor(std::string_view(lines.text).substr(lines.dataOffset));
    while (!cursor.AtEnd()) {
        const std::string_view line = cursor.Next();
        if (!line.empty() && line.front() != '<') ++values;
    }
    if (rows > values) throw ComError::OutOfMemory();
    return rows;
}

const ColumnTag* FindColumn(std::string_view tag) {
    for (const auto& c : kColumnTags)
        if (c.tag == tag) return &c;
    return nullptr;
}

// Stores one value line under its column at the given row; a text that is
// not a number stores nothing.
void StoreVersion1Value(Version1Tables& tables, const ColumnTag& column, Long row, std::string_view text,
                        std::string_view decimalMark) {
    Double value = 0;
    try {
        value = v2LocaleSettings::NumberFromText(text, decimalMark);
    } catch (const ComError& e) {
        if (e.Number() == err::kTypeMismatch) return;  // not a number: the row stays as it was
        throw;
    }
    auto& table = column.validation ? tables.Validation : tables.Training;
    if (row < 0) throw ComError::SubscriptOutOfRange();
    table.Store(static_cast<std::size_t>(row), column.column, value);
}

// Lines 14 on, up to 14 entries before the end of the table's room (entries
// past the file's last line are empty and store nothing).
void WalkDataSection(const Version1Lines& lines, const clsRun& run, Version1Tables& tables,
                     std::string_view decimalMark) {
    if (lines.room <= kFirstDataLine + kUnwalkedTail) return;
    const std::size_t last = std::min(lines.room - 1 - kUnwalkedTail, lines.size);
    LineCursor cursor(std::string_view(lines.text).substr(lines.dataOffset));
    std::string_view tag;
    const ColumnTag* column = nullptr;
    Long limit = 0;
    Long row = 0;
    for (std::size_t i = kFirstDataLine; i <= last; ++i) {
        std::string_view line = cursor.Next();
        if (!line.empty() && line.front() == '<') {
            tag = line;
            column = FindColumn(tag);
            limit = tag.find("<Val") != std::string_view::npos ? run.NumeroResultadosValidar()
                                                                : run.NumeroResultadosExp();
            row = 0;
            ++i;  // the value lines start right after the tag
            line = cursor.Next();
        }
        if (!line.empty() && row < limit) {
            if (column != nullptr) StoreVersion1Value(tables, *column, row, line, decimalMark);
            ++row;
        }
    }
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

// Writes a table as a data file and imports it into the given set.
void ImportTable(clsFileParser& parser, const FilePath& path, const Version1Table& table, Long rows, Long set,
                 clsRun& run, std::string_view decimalMark) {
    runfile::RemoveFile(path);
    runfile::FileWriter out(path);
    WriteVersion1Data(out, table, rows, run.NumeroTerminais(), decimalMark);
    out.Close();
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
    cells_.assign(rows_ * width_, 0.0);
}

void Version1Table::Store(std::size_t row, std::size_t column, Double value) {
    if (row >= rows_ || column >= kVersion1Columns) throw ComError::SubscriptOutOfRange();
    if (slot_[column] >= 0) cells_[row * width_ + static_cast<std::size_t>(slot_[column])] = value;
}

Double Version1Table::At(std::size_t row, std::size_t column) const {
    if (row >= rows_ || column >= kVersion1Columns || slot_[column] < 0) throw ComError::SubscriptOutOfRange();
    return cells_[row * width_ + static_cast<std::size_t>(slot_[column])];
}

void WriteVersion1Data(runfile::FileWriter& out, const Version1Table& table, Long rows, Long terminals,
                       std::string_view decimalSeparator) {
    if (terminals > static_cast<Long>(kVersion1Columns) || rows > static_cast<Long>(table.Rows()))
        throw ComError::SubscriptOutOfRange();
    constexpr std::size_t kFlushAt = 1 << 20;
    String text;
    text.reserve(kFlushAt + 1024);
    String line;
    for (Long r = 0; r < rows; ++r) {
        const auto row = static_cast<std::size_t>(r);
        line.clear();
        for (Long c = 0; c < terminals; ++c) {
            AppendDoubleText(line, table.At(row, static_cast<std::size_t>(c)), decimalSeparator);
            line += ' ';
        }
        AppendDoubleText(line, table.At(row, kDependentColumn), decimalSeparator);
        text += TrimSpaces(line);
        text += "\r\n";
        if (text.size() >= kFlushAt) {
            out.Write(text);
            text.clear();
        }
    }
    out.Write(text);
}

}  // namespace upgrade

FilePath clsFileParser::ConvertOldRun(const FilePath& Path, clsRun& theRun) {
    using namespace upgrade;
    return Guarded([&]() -> FilePath {
        // A parser that upgraded before gives its folder back first.
        UpgradeFolder_.reset();
        std::shared_ptr<UpgradeFolder> folder = UpgradeFolder::Acquire();
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
        String().swap(lines.text);  // the file's text is not needed past this point

        TempFiles cleanup;
        const FilePath trainTemp = folder->File(kTrainTemp);
        cleanup.Add(trainTemp);
        ImportTable(*this, trainTemp, tables.Training, run.NumeroResultadosExp(), 0, run, decimal.Mark());
        tables.Training = Version1Table{};
        if (run.NumeroResultadosValidar() >= 1) {
            const FilePath valTemp = folder->File(kValTemp);
            cleanup.Add(valTemp);
            ImportTable(*this, valTemp, tables.Validation, run.NumeroResultadosValidar(), 1, run, decimal.Mark());
        }
        tables.Validation = Version1Table{};

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
