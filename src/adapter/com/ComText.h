// Texts at the COM edge: the core works on ANSI bytes, COM on BSTRs.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace orv::com {

// The BSTR's text in the system's ANSI code page (a null BSTR is empty).
std::string AnsiFromBstr(BSTR text);

// UTF-16 text in the system's ANSI code page.
std::string AnsiFromWide(const wchar_t* text, std::size_t length);

// The ANSI text as UTF-16.
std::wstring WideFromAnsi(const std::string& text);

// Owns one BSTR; hands out its address for [out] and [in, out] parameters,
// freeing whatever the callee left there.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::string& ansi);
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const noexcept { return text_; }
    BSTR* Ref() noexcept { return &text_; }
    // Frees the current text and answers the address for a new one.
    BSTR* Out() noexcept;
    std::string Ansi() const { return AnsiFromBstr(text_); }

private:
    BSTR text_ = nullptr;
};

// A new BSTR holding the ANSI text; raises std::bad_alloc when out of memory.
BSTR AllocBstr(const std::string& ansi);

}  // namespace orv::com
