// The progress bar of the commands that work through many files.
#pragma once

#include <cstddef>
#include <iostream>
#include <string>

#include "platform/Platform.h"

namespace orv::cli {

// A one-line bar on stderr, redrawn in place; only when stderr is a terminal.
class Progress {
public:
    explicit Progress(std::size_t total) : total_(total), shown_(platform::StderrIsTerminal()) {}
    void Show(std::size_t done, const std::string& file) const {
        if (!shown_) return;
        constexpr std::size_t width = 30;
        const std::size_t filled = total_ ? done * width / total_ : width;
        std::cerr << "\r\x1b[K[" << std::string(filled, '#') << std::string(width - filled, ' ') << "] " << done
                  << '/' << total_ << ' ' << file << std::flush;
    }
    // Clears the bar so that a message can take the line.
    void Clear() const {
        if (shown_) std::cerr << "\r\x1b[K";
    }

private:
    std::size_t total_;
    bool shown_;
};

}  // namespace orv::cli
