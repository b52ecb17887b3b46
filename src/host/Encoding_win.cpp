// Windows has no iconv: encoding names map to code page numbers, and the
// system's own tables do the decoding.
#include "host/Encoding.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <memory>
#include <optional>

#include "common/ComError.h"

namespace orv::refhost {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct Decoder {
    UINT codePage;
    // For single-byte code pages, each byte's UTF-8 text, decided once:
    // U+FFFD where the code page defines no character.
    bool singleByte;
    std::array<std::string, 256> byteText;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<UINT> Number(std::string_view digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    UINT n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<UINT>(c - '0');
    }
    return n;
}

// The names iconv users pass: "windows-1252", "CP850", "ISO-8859-7",
// "UTF-8", and a few common aliases.
std::optional<UINT> CodePageOf(const std::string& encoding) {
    const std::string name = Lower(encoding);
    struct Alias { std::string_view name; UINT codePage; };
    static constexpr Alias kAliases[] = {
        {"utf-8", CP_UTF8}, {"utf8", CP_UTF8}, {"us-ascii", 20127}, {"ascii", 20127},
        {"latin1", 28591}, {"latin-1", 28591}, {"koi8-r", 20866}, {"koi8-u", 21866},
        {"shift_jis", 932}, {"sjis", 932}, {"gbk", 936}, {"gb2312", 936}, {"big5", 950},
        {"euc-kr", 949}, {"euc-jp", 20932},
    };
    for (const auto& a : kAliases)
        if (name == a.name) return a.codePage;
    for (const std::string_view prefix : {"windows-", "cp", "ibm"})
        if (name.starts_with(prefix)) return Number(std::string_view(name).substr(prefix.size()));
    for (const std::string_view prefix : {"iso-8859-", "iso8859-", "iso_8859-"}) {
        if (!name.starts_with(prefix)) continue;
        const auto part = Number(std::string_view(name).substr(prefix.size()));
        if (part && *part >= 1 && *part <= 16) return 28590 + *part;
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<UINT> UsableCodePage(const std::string& encoding) {
    const auto codePage = CodePageOf(encoding);
    if (!codePage || !IsValidCodePage(*codePage)) return std::nullopt;
    return codePage;
}

std::string WideToUtf8(const wchar_t* wide, int length) {
    if (length <= 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, length, out.data(), size, nullptr, nullptr);
    return out;
}

// The whole text through the system, for code pages whose characters span
// several bytes; the system puts its own replacement for invalid sequences.
std::string Decode(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    // The system's lengths are ints; a text past them is past any run file.
    if (text.size() > static_cast<std::size_t>(INT_MAX / 4)) throw ComError::Overflow();
    const auto length = static_cast<int>(text.size());
    const int wideSize = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(wideSize, 0)), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), wideSize);
    return WideToUtf8(wide.data(), wideSize);
}

}  // namespace

bool KnownEncoding(const std::string& encoding) { return UsableCodePage(encoding).has_value(); }

ToUtf8::ToUtf8(const std::string& encoding) : cd_(nullptr) {
    const auto codePage = UsableCodePage(encoding);
    if (!codePage) throw ComError(5, "", "Unknown encoding: " + encoding);
    CPINFO info{};
    auto decoder = std::make_unique<Decoder>();
    decoder->codePage = *codePage;
    decoder->singleByte = GetCPInfo(*codePage, &info) && info.MaxCharSize == 1;
    if (decoder->singleByte) {
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            wchar_t wide = 0;
            const int n = MultiByteToWideChar(*codePage, MB_ERR_INVALID_CHARS, &byte, 1, &wide, 1);
            decoder->byteText[static_cast<std::size_t>(b)] = n == 1 ? WideToUtf8(&wide, 1) : std::string(kReplacement);
        }
    }
    cd_ = decoder.release();
}

ToUtf8::~ToUtf8() { delete static_cast<Decoder*>(cd_); }

std::string ToUtf8::operator()(std::string_view text) const {
    const auto& decoder = *static_cast<const Decoder*>(cd_);
    if (!decoder.singleByte) return Decode(decoder.codePage, text);
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 16);
    for (const char c : text) out += decoder.byteText[static_cast<unsigned char>(c)];
    return out;
}

}  // namespace orv::refhost
