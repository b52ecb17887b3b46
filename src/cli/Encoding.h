// Texts of run files are bytes in the writer's code page; JSON and terminals
// want UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace orv::cli {

class ToUtf8 {
public:
    // Raises ComError 5 when the system cannot convert from that encoding.
    explicit ToUtf8(const std::string& encoding);
    ~ToUtf8();
    ToUtf8(const ToUtf8&) = delete;
    ToUtf8& operator=(const ToUtf8&) = delete;

    // Bytes the encoding does not define become U+FFFD.
    std::string operator()(std::string_view text) const;

private:
    void* cd_;
};

// True when the system can convert from that encoding.
bool KnownEncoding(const std::string& encoding);

}  // namespace orv::cli
