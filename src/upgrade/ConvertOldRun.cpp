// The upgrade of version-1.0 run files: the old layout is read into a new
// record, its data columns become temporary data files that are imported as
// usual, and the record is saved as a version-2.0 file for the loader.
#include <algorithm>
#include <memory>
#include <string_view>
#include <utility>

#include "common/ComError.h"
#include "common/Conversions.h"
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

// All lines in one text, so that a long file costs its bytes and one offset
// per line.
struct LineTable {
    String text;
    std::vector<std::size_t> ends;
    std::size_t room = kInitialRoom;  // entries past the last line read as empty

    std::size_t size() const noexcept { return ends.size(); }
    std::string_view operator[](std::size_t i) const {
        if (i >= ends.size()) return {};
        const std::size_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(text).substr(begin, ends[i] - begin);
    }
    String Line(std::size_t i) const { return String((*this)[i]); }
};

LineTable ReadLineTable(const FilePath& path) {
    LineTable table;
    runfile::LineReader in(path);
    while (!in.AtEnd()) {
        if (table.size() == table.room) table.room += kRoomGrowth;
        table.text += in.ReadLine();
        table.ends.push_back(table.text.size());
    }
    return table;
}

// A count may claim the old reader's initial room of rows, or as many rows as
// the data section has value lines; a count above both asks for rows that
// only the count itself claims. Refuse it with "Out of memory" rather than
// build tables and data files of that size from a small file: this keeps an
// upgrade's memory and disk use in proportion to the file.
std::size_t TableRows(Long count, const LineTable& table) {
    if (count < 1) return 1;
    const auto rows = static_cast<std::size_t>(count);
    if (rows <= kInitialRoom) return rows;
    std::size_t values = 0;
    for (std::size_t i = kFirstDataLine; i < table.size(); ++i)
        if (!table[i].empty() && table[i].front() != '<') ++values;
    if (rows > values) throw ComError::OutOfMemory();
    return rows;
}

void WalkDataSection(const LineTable& table, const clsRun& run, Version1Tables& tables) {
    if (table.room <= kFirstDataLine + kUnwalkedTail) return;
    const std::size_t last = std::min(table.room - 1 - kUnwalkedTail, table.size());
    String tag;
    Long row = 0;
    for (std::size_t i = kFirstDataLine; i <= last; ++i) {
        if (!table[i].empty() && table[i].front() == '<') {
            tag = table.Line(i);
            row = 0;
            ++i;  // the value lines start right after the tag
        }
        const Long limit = tag.find("<Val") != String::npos ? run.NumeroResultadosValidar() : run.NumeroResultadosExp();
        if (!table[i].empty() && row < limit) {
            StoreVersion1Value(tables, tag, row, table.Line(i));
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
void ImportTable(clsFileParser& parser, const FilePath& path, const std::vector<Version1Row>& table, Long rows,
                 Long set, clsRun& run) {
    runfile::RemoveFile(path);
    runfile::WriteWholeFile(
        path, Version1DataText(table, rows, run.NumeroTerminais(), v2LocaleSettings::DecimalSeparator()));
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

void StoreVersion1Value(Version1Tables& tables, const String& tag, Long row, const String& text) {
    const ColumnTag* target = nullptr;
    for (const auto& c : kColumnTags)
        if (c.tag == tag) target = &c;
    if (target == nullptr) return;
    Double value = 0;
    try {
        value = clsFileParser::ReadNumber(text);
    } catch (const ComError& e) {
        if (e.Number() == err::kTypeMismatch) return;  // not a number: the row stays as it was
        throw;
    }
    auto& table = target->validation ? tables.Validation : tables.Training;
    if (row < 0 || static_cast<std::size_t>(row) >= table.size()) throw ComError::SubscriptOutOfRange();
    table[static_cast<std::size_t>(row)][target->column] = value;
}

String Version1DataText(const std::vector<Version1Row>& table, Long rows, Long terminals,
                        const String& decimalSeparator) {
    if (terminals > static_cast<Long>(kVersion1Columns) || rows > static_cast<Long>(table.size()))
        throw ComError::SubscriptOutOfRange();
    String text;
    String line;
    for (Long r = 0; r < rows; ++r) {
        const auto& values = table[static_cast<std::size_t>(r)];
        line.clear();
        for (Long c = 0; c < terminals; ++c) {
            line += DoubleToText(values[static_cast<std::size_t>(c)], decimalSeparator);
            line += ' ';
        }
        line += DoubleToText(values[kDependentColumn], decimalSeparator);
        text += TrimSpaces(line);
        text += "\r\n";
    }
    return text;
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

        LineTable lines = ReadLineTable(Path);
        if (lines[0] != "<Zolvane><ORV 1.00>" && lines[0] != "<Zolvane><ORVae 1.00>")
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

        Version1Tables tables;
        tables.Training.assign(TableRows(run.NumeroResultadosExp(), lines), Version1Row{});
        tables.Validation.assign(TableRows(run.NumeroResultadosValidar(), lines), Version1Row{});
        WalkDataSection(lines, run, tables);
        lines = LineTable{};  // the file's text is not needed past this point

        TempFiles cleanup;
        const FilePath trainTemp = folder->File(kTrainTemp);
        cleanup.Add(trainTemp);
        ImportTable(*this, trainTemp, tables.Training, run.NumeroResultadosExp(), 0, run);
        std::vector<Version1Row>().swap(tables.Training);
        if (run.NumeroResultadosValidar() >= 1) {
            const FilePath valTemp = folder->File(kValTemp);
            cleanup.Add(valTemp);
            ImportTable(*this, valTemp, tables.Validation, run.NumeroResultadosValidar(), 1, run);
        }

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
