// The one exception type of the component: a raised error as COM knows it,
// with a number, an optional source and a description.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace orv {

class ComError : public std::exception {
public:
    ComError(std::int32_t number, std::string source, std::string description);

    std::int32_t Number() const noexcept { return number_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    // The platform's standard errors, with their standard English texts.
    static ComError Overflow();               // 6
    static ComError OutOfMemory();            // 7
    static ComError SubscriptOutOfRange();    // 9
    static ComError TypeMismatch();           // 13
    static ComError FileNotFound();           // 53
    static ComError InputPastEndOfFile();     // 62

private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

namespace err {
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kInputPastEndOfFile = 62;
}  // namespace err

// Runs f and turns every standard exception into the ComError a caller of the
// component expects, so that only ComError ever leaves a public entry point.
template <class F>
decltype(auto) Guarded(F&& f);

[[noreturn]] void RethrowAsComError();

template <class F>
decltype(auto) Guarded(F&& f) {
    try {
        return f();
    } catch (...) {
        RethrowAsComError();
    }
}

}  // namespace orv
