// Apart from the rest of the platform code: only the command-line program
// needs shell32.
#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "platform/Platform.h"

namespace orv::platform {
namespace {

std::string Utf8FromWide(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.pop_back();  // the terminating NUL
    return out;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    if (!wide) return {argv, argv + argc};
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) args.push_back(Utf8FromWide(wide.get()[i]));
    return args;
}

}  // namespace orv::platform
