// Helpers shared by the test programs: real locales switched through the
// environment, temporary folders, and matchers for the component's errors.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "common/ComError.h"

namespace orv::test {

// Sets LC_ALL for the lifetime of the object and restores it afterwards.
// The component reads the environment afresh at each number, so this is how
// a user switches locale.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    std::optional<std::string> previous_;
};

inline constexpr const char* kCommaLocale = "de_DE.UTF-8";
inline constexpr const char* kPointLocale = "en_US.UTF-8";

// A fresh folder under the system temporary directory, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path Write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

std::string ReadAll(const std::filesystem::path& file);

// Folder of the bundled examples.
std::filesystem::path ExamplesDir();

}  // namespace orv::test

// Expects stmt to raise a ComError with the given number (and description,
// when not null).
#define EXPECT_COM_ERROR(stmt, number, description)                                  \
    do {                                                                             \
        try {                                                                        \
            stmt;                                                                    \
            ADD_FAILURE() << "expected error " << (number) << " from " #stmt;        \
        } catch (const ::orv::ComError& e_) {                                        \
            EXPECT_EQ(e_.Number(), (number)) << e_.Description();                    \
            const char* d_ = (description);                                          \
            if (d_) { EXPECT_EQ(e_.Description(), std::string(d_)); }                \
        }                                                                            \
    } while (0)
