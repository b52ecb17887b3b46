// Lines of a text held in memory, split as the run-file readers split a
// file: a line ends at CR LF or at a lone CR, never at a lone LF.
#pragma once

#include <cstddef>
#include <string_view>

namespace orv {

class LineCursor {
public:
    explicit LineCursor(std::string_view text) noexcept : text_(text) {}

    // True when no byte remains.
    bool AtEnd() const noexcept { return pos_ >= text_.size(); }

    // The next line without its end; the empty line once past the end.
    std::string_view Next() noexcept {
        if (AtEnd()) return {};
        const std::size_t cr = text_.find('\r', pos_);
        const std::size_t end = cr == std::string_view::npos ? text_.size() : cr;
        const std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
        return line;
    }

    // Offset of the next line in the text.
    std::size_t Offset() const noexcept { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// The number of lines the cursor gives before it is at the end.
inline std::size_t CountLines(std::string_view text) noexcept {
    std::size_t ends = 0;
    for (const char c : text) ends += c == '\r' ? 1 : 0;
    const std::size_t last = text.rfind('\r');
    if (last == std::string_view::npos) return text.empty() ? 0 : 1;
    const std::size_t after = last + 1 < text.size() && text[last + 1] == '\n' ? last + 2 : last + 1;
    return ends + (after < text.size() ? 1 : 0);
}

}  // namespace orv
