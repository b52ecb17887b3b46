#include "host/Encoding.h"

#include <iconv.h>

#include <cerrno>

#include "common/ComError.h"

namespace orv::refhost {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
const auto kInvalid = reinterpret_cast<iconv_t>(-1);

}  // namespace

bool KnownEncoding(const std::string& encoding) {
    const iconv_t cd = iconv_open("UTF-8", encoding.c_str());
    if (cd == kInvalid) return false;
    iconv_close(cd);
    return true;
}

ToUtf8::ToUtf8(const std::string& encoding) : cd_(iconv_open("UTF-8", encoding.c_str())) {
    if (cd_ == kInvalid) throw ComError(5, "", "Unknown encoding: " + encoding);
}

ToUtf8::~ToUtf8() { iconv_close(static_cast<iconv_t>(cd_)); }

std::string ToUtf8::operator()(std::string_view text) const {
    const auto cd = static_cast<iconv_t>(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 16);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buf[4096];
    while (inLeft > 0) {
        char* o = buf;
        std::size_t oLeft = sizeof buf;
        const std::size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf, static_cast<std::size_t>(o - buf));
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // An undefined or truncated byte: mark it and go on with the next.
        out += kReplacement;
        ++in;
        --inLeft;
    }
    return out;
}

}  // namespace orv::refhost
