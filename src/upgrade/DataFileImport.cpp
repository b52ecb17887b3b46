// Import of plain-text data files (one record per line, the dependent
// variable last) into a run's training or validation set.
#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

#include "common/ComError.h"
#include "common/Conversions.h"
#include "common/TextLines.h"
#include "legacy_file/RunFileIO.h"
#include "legacy_file/clsFileParser.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

constexpr const char* kImportSource = "clsFileParser::OpenDataFile";

std::string_view SeparatorText(Long code) {
    switch (code) {
        case 0: return " ";
        case 1: return ";";
        case 2: return "\t";
        case 3: return ",";
        default: return "";
    }
}

// Splits as the old reader did: an empty text has no fields, an empty
// separator leaves the text whole.
std::vector<std::string_view> SplitFields(std::string_view line, std::string_view sep) {
    std::vector<std::string_view> fields;
    if (line.empty()) return fields;
    if (sep.empty()) {
        fields.push_back(line);
        return fields;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t hit = line.find(sep, start);
        if (hit == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, hit - start));
        start = hit + sep.size();
    }
}

bool IsDataNumber(std::string_view field) { return IsNumericText(field, ".") || IsNumericText(field, ","); }

// Each replacement is one left-to-right pass, so three spaces become two.
void ReplaceOnce(String& text, std::string_view what, std::string_view with) {
    if (!what.empty() && FindText(text, what) != String::npos) ReplaceAllShrinking(text, what, with);
}

String DoubledSeparator(std::string_view sep) { return String(sep) + String(sep); }

// The first record cleaned only to count its fields and check them.
String CleanFirstRecord(std::string_view line, std::string_view sep) {
    String s(line);
    ReplaceOnce(s, "  ", " ");
    s = String(TrimSpaces(s));
    ReplaceOnce(s, DoubledSeparator(sep), sep);
    return s;
}

void TrimSpacesInPlace(String& text) {
    const std::string_view kept = TrimSpaces(text);
    const auto front = static_cast<std::size_t>(kept.data() - text.data());
    text.resize(front + kept.size());
    text.erase(0, front);
}

// Drops the text up to and including the first line end (CR LF, or a lone
// CR); all of it when there is none.
void DropFirstLine(String& text) {
    const std::size_t cr = text.find('\r');
    if (cr == String::npos) {
        text.clear();
        return;
    }
    text.erase(0, cr + 1 < text.size() && text[cr + 1] == '\n' ? cr + 2 : cr + 1);
}

// False when the text holds none of "  ", the doubled separator and a line
// end followed by a space, so that the cleaning would change nothing: one
// pass, in blocks the compiler vectorises, rather than a search for each.
bool MayNeedCleaning(std::string_view text, std::string_view sep) {
    if (sep.size() > 1) return true;
    using Byte = unsigned char;
    const Byte s = sep.empty() ? ' ' : static_cast<Byte>(sep[0]);
    const auto* t = reinterpret_cast<const Byte*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    constexpr std::size_t kBlock = 64;
    for (; i + kBlock + 2 <= n; i += kBlock) {
        Byte hits = 0;
        for (std::size_t j = i; j < i + kBlock; ++j) {
            const Byte a = t[j], b = t[j + 1], c = t[j + 2];
            hits |= static_cast<Byte>(((a == ' ') & (b == ' ')) | ((a == s) & (b == s)) |
                                      ((a == '\r') & (b == '\n') & (c == ' ')));
        }
        if (hits != 0) return true;
    }
    // The last bytes: two-byte patterns up to the end, "\r\n " where it fits.
    for (; i + 1 < n; ++i) {
        if ((t[i] == ' ' && t[i + 1] == ' ') || (t[i] == s && t[i + 1] == s)) return true;
        if (i + 2 < n && t[i] == '\r' && t[i + 1] == '\n' && t[i + 2] == ' ') return true;
    }
    return false;
}

// The lines of text before its first empty line (all of them when there is
// none). An empty line is one that starts with the CR that ends it: at the
// start of the text, or right after a CR or a CR LF. One pass, in blocks the
// compiler vectorises, that stops in the block holding the empty line.
std::size_t RecordsBeforeEmptyLine(std::string_view text) {
    const std::size_t n = text.size();
    if (n == 0 || text[0] == '\r') return 0;
    using Byte = unsigned char;  // a block's counts fit, and bytes keep the vectors wide
    const auto* t = reinterpret_cast<const Byte*>(text.data());
    std::size_t ends = 0, i = 2;
    constexpr std::size_t kBlock = 64;
    for (; i + kBlock <= n; i += kBlock) {
        Byte blockEnds = 0, empty = 0;
        for (std::size_t j = i; j < i + kBlock; ++j) {
            const auto afterEnd = static_cast<Byte>((t[j - 1] == '\r') | ((t[j - 1] == '\n') & (t[j - 2] == '\r')));
            blockEnds = static_cast<Byte>(blockEnds + (t[j - 2] == '\r'));
            empty |= static_cast<Byte>((t[j] == '\r') & afterEnd);
        }
        if (empty != 0) break;
        ends += blockEnds;
    }
    // From here on one byte at a time; ends counts the CRs before i - 2.
    for (std::size_t j = i - 2; j < n; ++j) {
        if (t[j] != '\r') continue;
        const bool opensEmpty = j > 0 && (t[j - 1] == '\r' || (j >= 2 && t[j - 1] == '\n' && t[j - 2] == '\r'));
        if (opensEmpty) return ends;
        ++ends;
    }
    return ends + (EndsInsideLine(text) ? 1 : 0);
}

}  // namespace

bool clsFileParser::OpenDataFile(const FilePath& path, Long WhichSet, Long separatorCode, clsRun& theRun) {
    const auto import = [&]() -> bool {
        const v2LocaleSettings::OperationSeparator decimalMark;
        const std::string_view sep = SeparatorText(separatorCode);
        // One read serves the count of records and the data text.
        FileText_ = runfile::ReadWholeFile(path);
        LineCursor in(FileText_);
        const auto readLine = [&in] {
            if (in.AtEnd()) throw ComError::InputPastEndOfFile();
            return in.Next();
        };
        if (theRun.FieldNamesExistem()) {
            String names(readLine());
            if (WhichSet == 0) theRun.FieldNames(std::move(names));
        } else if (WhichSet == 0) {
            theRun.FieldNames("");
        }

        const String first = CleanFirstRecord(readLine(), sep);
        const auto fields = SplitFields(first, sep);
        theRun.NumeroTerminais(static_cast<Long>(fields.size()) - 1);
        // The dependent variable may be a class name; a terminal may not.
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (IsDataNumber(fields[i])) continue;
            if (i + 1 < fields.size()) {
                String().swap(FileText_);
                return false;
            }
            break;
        }

        const std::string_view rest = std::string_view(FileText_).substr(std::min(in.Offset(), FileText_.size()));
        const std::size_t records = 1 + RecordsBeforeEmptyLine(rest);
        if (records > static_cast<std::size_t>(std::numeric_limits<Long>::max())) throw ComError::Overflow();
        const auto count = static_cast<Long>(records);
        NumeroValoresFicheiro_ = count;

        // The text is cleaned where it lies and then handed to the record.
        TrimSpacesInPlace(FileText_);
        if (MayNeedCleaning(FileText_, sep)) {
            ReplaceOnce(FileText_, "  ", " ");
            ReplaceOnce(FileText_, DoubledSeparator(sep), sep);
            ReplaceOnce(FileText_, "\r\n ", "\r\n");
        }
        NormaliseDecimals(FileText_, sep);

        String data = std::move(FileText_);
        FileText_.clear();
        if (theRun.FieldNamesExistem()) DropFirstLine(data);
        if (WhichSet == 0) {
            theRun.NumeroResultadosExp(count);
            theRun.TrainingNumeroValoresFicheiro(count);
            theRun.TrainValues(std::move(data));
            theRun.TrainPathFile(path.Text());
        } else if (WhichSet == 1) {
            theRun.NumeroResultadosValidar(count);
            theRun.ValidationValues(std::move(data));
            theRun.ValPathFile(path.Text());
        }
        return true;
    };
    try {
        return Guarded(import);
    } catch (const ComError& e) {
        if (!e.Source().empty()) throw;
        throw ComError(e.Number(), kImportSource, e.Description());
    }
}

void clsFileParser::OpenDataFileRun(Long WhichSet, clsRun& theRun) {
    // Whether the file was accepted is not passed on.
    if (WhichSet == 0) OpenDataFile(theRun.TrainPathFile(), 0, theRun.Separador(), theRun);
    else if (WhichSet == 1) OpenDataFile(theRun.ValPathFile(), 1, theRun.Separador(), theRun);
}

}  // namespace orv
