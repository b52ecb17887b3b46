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

// True when bytes follow the last line end (or there is none): the last line
// then ends with the text rather than with a line end of its own.
inline bool EndsInsideLine(std::string_view text) noexcept {
    const std::size_t last = text.rfind('\r');
    if (last == std::string_view::npos) return !text.empty();
    const std::size_t after = last + 1 < text.size() && text[last + 1] == '\n' ? last + 2 : last + 1;
    return after < text.size();
}

// The number of lines the cursor gives before it is at the end.
inline std::size_t CountLines(std::string_view text) noexcept {
    std::size_t ends = 0;
    for (const char c : text) ends += c == '\r' ? 1 : 0;
    return ends + (EndsInsideLine(text) ? 1 : 0);
}

}  // namespace orv
