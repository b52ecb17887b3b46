#include "host/DataText.h"

#include "common/ComError.h"
#include "common/Conversions.h"

#include <bit>
#include <cstring>
#include <cstdint>

namespace orv::refhost {
namespace {

bool IsBlankLine(std::string_view line) {
    return line.empty() || ((line[0] == ' ' || line[0] == '\t') && line.find_first_not_of(" \t") == std::string_view::npos);
}

// Plain loops: fields and lines are a few characters long, shorter than a
// library search takes to start.
std::size_t LineEnd(std::string_view text, std::size_t start) {
    for (std::size_t i = start; i < text.size(); ++i)
        if (text[i] == '\r' || text[i] == '\n') return i;
    return std::string_view::npos;
}

std::size_t FindChar(std::string_view text, char c, std::size_t start) {
    for (std::size_t i = start; i < text.size(); ++i)
        if (text[i] == c) return i;
    return std::string_view::npos;
}

// Splits a line at the separator; a space separator also swallows runs of spaces.
template <class F>
void ForEachField(std::string_view line, std::string_view sep, F&& f) {
    if (sep == " ") {
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && line[i] == ' ') ++i;
            if (i == line.size()) break;
            const std::size_t end = std::min(FindChar(line, ' ', i), line.size());
            f(line.substr(i, end - i));
            i = end;
        }
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = sep.size() == 1 ? FindChar(line, sep[0], start) : line.find(sep, start);
        f(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + sep.size();
    }
}

constexpr std::uint64_t kPowersOfTenInt[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// After a value read in one go: stores it and answers where the next value
// starts, or p itself at the line's end; nullptr when what follows is
// neither the separator nor the line's end.
inline const char* EndOfValue(const char* p, const char* end, char separator, bool negative, double value,
                              std::vector<double>& values) {
    const bool lineEnds = p == end || *p == '\r' || *p == '\n';
    if (!lineEnds && *p != separator) return nullptr;
    values.push_back(negative ? -value : value);
    return lineEnds ? p : p + 1;
}

// The value of the first n (1 to 8) of eight digit values held one a byte,
// the first in the lowest: moved to the top with zeros before them, then
// combined two, four and eight at a time.
inline std::uint64_t LeadingDigitsValue(std::uint64_t digits, int n) {
    std::uint64_t v = digits << (8 * (8 - n));
    v = v * 10 + (v >> 8);
    return (((v & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
            (((v >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >>
           32;
}

// Bytes of a word, each a character less "0", that are not digits: their
// high bits. A carry out of one such byte only reaches bytes after it.
inline std::uint64_t NonDigits(std::uint64_t digits) {
    return ((digits + 0x7676767676767676) | digits) & 0x8080808080808080;
}

// Reads the run of decimal digits at p into mantissa (which wraps past 19
// digits; the caller refuses those), answering where the run ends. Eight
// characters are looked at a time where the text has them: data values are
// a few digits long, a different number from one to the next, and a loop
// per digit would mispredict its end every time.
inline const char* DigitRun(const char* p, const char* const end, std::uint64_t& mantissa) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kZeros = 0x3030303030303030;
        while (end - p >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, p, 8);
            const std::uint64_t digits = word ^ kZeros;  // digit characters become 0 to 9, all else 10 or more
            const std::uint64_t others = NonDigits(digits);
            const int n = others == 0 ? 8 : std::countr_zero(others) / 8;
            if (n == 0) return p;
            mantissa = mantissa * kPowersOfTenInt[n] + LeadingDigitsValue(digits, n);
            p += n;
            if (n < 8) return p;
        }
    }
    for (; p != end && *p >= '0' && *p <= '9'; ++p) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    return p;
}

// The common record, numbers of an optional "-", digits and at most one
// decimal mark, short enough to be read exactly, split by a separator of
// one character: read in one pass from p up to its line break, to the
// values the general reading gives (one correctly rounded division). The
// end of the record, or nullptr with nothing appended for a line of any
// other shape; the general reading then decides.
const char* QuickRecord(const char* p, const char* const end, char separator, char mark, std::vector<double>& values) {
    const std::size_t start = values.size();
    for (;;) {
        const bool negative = p != end && *p == '-';
        if (negative) ++p;
        if constexpr (std::endian::native == std::endian::little) {
            // The usual value, at most seven characters with its mark, ended
            // within the next eight: its digits read in one go, the mark
            // taken out from between them.
            if (end - p >= 8) {
                std::uint64_t word = 0;
                std::memcpy(&word, p, 8);
                const std::uint64_t digits = word ^ 0x3030303030303030;
                std::uint64_t others = NonDigits(digits);
                const int beforeMark = others == 0 ? 8 : std::countr_zero(others) / 8;
                double value = 0;
                int length = 0;  // of the value's text; 0 when it is not of this shape
                if (beforeMark < 8 && static_cast<char>(word >> (8 * beforeMark)) == mark) {
                    others &= others - 1;  // past the mark
                    const int stop = others == 0 ? 8 : std::countr_zero(others) / 8;
                    if (stop < 8 && stop > 1) {
                        const std::uint64_t keep = (std::uint64_t{1} << (8 * beforeMark)) - 1;
                        const std::uint64_t joined = (digits & keep) | (digits >> 8 & ~keep);
                        ShortDecimalValue(LeadingDigitsValue(joined, stop - 1), stop - 1 - beforeMark, value);
                        length = stop;  // seven digits at most: always short enough
                    }
                } else if (beforeMark > 0 && beforeMark < 8) {
                    value = static_cast<double>(LeadingDigitsValue(digits, beforeMark));
                    length = beforeMark;
                }
                if (length > 0) {
                    p += length;
                    const char* const next = EndOfValue(p, end, separator, negative, value, values);
                    if (next == nullptr) {
                        values.resize(start);
                        return nullptr;
                    }
                    if (next == p) return p;
                    p = next;
                    continue;
                }
            }
        }
        std::uint64_t mantissa = 0;
        const char* const first = p;
        p = DigitRun(p, end, mantissa);
        const std::ptrdiff_t whole = p - first;
        std::ptrdiff_t fraction = 0;
        if (p != end && *p == mark) {
            const char* const point = ++p;
            p = DigitRun(p, end, mantissa);
            fraction = p - point;
        }
        const std::ptrdiff_t digits = whole + fraction;
        const bool lineEnds = p == end || *p == '\r' || *p == '\n';
        double v = 0;
        if (digits == 0 || digits > 19 || !ShortDecimalValue(mantissa, fraction, v) ||
            (!lineEnds && *p != separator)) {
            values.resize(start);
            return nullptr;
        }
        values.push_back(negative ? -v : v);
        if (lineEnds) return p;
        ++p;
    }
}

}  // namespace

void DataRows::Clear() {
    values.clear();
    rowEnds.clear();
    names.clear();
    lines = 0;
    loneCr = false;
    failure = nullptr;
    failureLine = failureField = 0;
    failureText.clear();
}

void ReadDataLines(std::string_view text, std::string_view separator, std::string_view decimal, bool& namesPending,
                   DataRows& rows) {
    // One-character marks that cannot be taken for each other, in arithmetic
    // that rounds once (see TextToDouble).
    const bool quick = separator.size() == 1 && separator[0] != ' ' && decimal.size() == 1 &&
                       (decimal[0] == '.' || decimal[0] == ',') && separator[0] != decimal[0] &&
                       kExactArithmetic;
    std::size_t start = 0;
    while (start < text.size()) {
        if (quick && !namesPending) {
            if (const char* at = QuickRecord(text.data() + start, text.data() + text.size(), separator[0], decimal[0],
                                             rows.values)) {
                std::size_t end = static_cast<std::size_t>(at - text.data());
                if (end < text.size() && text[end] == '\r') {
                    if (end + 1 < text.size() && text[end + 1] == '\n') ++end;
                    else rows.loneCr = true;
                }
                start = end + 1;
                ++rows.lines;
                rows.rowEnds.push_back(rows.values.size());
                continue;
            }
        }
        std::size_t end = LineEnd(text, start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (end < text.size() && text[end] == '\r') {
            if (end + 1 < text.size() && text[end + 1] == '\n') ++end;
            else rows.loneCr = true;
        }
        start = end + 1;
        ++rows.lines;
        if (IsBlankLine(line)) continue;
        if (namesPending) {
            ForEachField(line, separator, [&](std::string_view f) { rows.names.emplace_back(TrimSpaces(f)); });
            namesPending = false;
            continue;
        }
        std::size_t field = 0;
        std::string_view failed;
        try {
            ForEachField(line, separator, [&](std::string_view f) {
                ++field;
                failed = f;
                rows.values.push_back(TextToDouble(f, decimal));
            });
        } catch (...) {
            rows.values.resize(rows.rowEnds.empty() ? 0 : rows.rowEnds.back());
            rows.failure = std::current_exception();
            rows.failureLine = rows.lines;
            rows.failureField = field;
            rows.failureText = failed;
            return;
        }
        rows.rowEnds.push_back(rows.values.size());
    }
}

void ThrowDataFailure(const DataRows& rows, std::size_t linesBefore) {
    try {
        std::rethrow_exception(rows.failure);
    } catch (const ComError& e) {
        if (e.Number() != err::kTypeMismatch) throw;
        throw ComError(err::kTypeMismatch, "ReferenceHost",
                       "Line " + std::to_string(linesBefore + rows.failureLine) + ", field " +
                           std::to_string(rows.failureField) + ": '" + rows.failureText + "' is not a number");
    }
}

std::size_t WholeLinesLength(std::string_view text, bool atEnd) {
    if (atEnd) return text.size();
    for (std::size_t i = text.size(); i-- > 0;) {
        if (text[i] == '\n') return i + 1;
        if (text[i] == '\r' && i + 1 < text.size()) return i + 1;
    }
    return 0;
}

}  // namespace orv::refhost
