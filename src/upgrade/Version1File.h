// Pieces of the version-1.0 upgrade: the symbol renaming of old models, the
// tables that the tagged data columns fill, and the data files made from them.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "common/ComError.h"
#include "legacy_file/RunFileIO.h"
#include "run_record/clsRun.h"

namespace orv::upgrade {

// Ten terminal columns, then the dependent variable.
inline constexpr std::size_t kVersion1Columns = 11;
inline constexpr std::size_t kDependentColumn = 10;

// One cell of a table: a value, or the place in the file's text of the plain
// decimal text that the value was read from (length above 0), so that the
// data file can take its digits rather than write the value anew.
struct Version1Cell {
    Double value = 0;
    std::size_t offset = 0;
    std::size_t length = 0;
};

// The values of one set, column by column, as the file lists them. Only the
// columns that its data file will hold take memory: the first `terminals`
// and the dependent variable (all of them when keepAll).
class Version1Table {
public:
    Version1Table() = default;
    Version1Table(std::size_t rows, Long terminals, bool keepAll);

    std::size_t Rows() const noexcept { return rows_; }
    // Values of columns that are not kept are dropped.
    void Store(std::size_t row, std::size_t column, Double value);
    // The value of a plain decimal text in fileText, kept as the text's place.
    void StoreText(std::size_t row, std::size_t column, std::string_view fileText, std::size_t offset,
                   std::size_t length, std::string_view decimalMark);
    // 9 for a row or a column that the table does not hold.
    Version1Cell At(std::size_t row, std::size_t column) const;

    // The longest text whose place a cell holds; longer ones keep their value.
    static constexpr std::size_t kLongestText = (std::size_t{1} << 11) - 1;

private:
    // A quiet NaN whose payload holds a text's length (bits 40 to 50) and offset.
    static constexpr std::uint64_t kTextTag = 0x7FF8'0000'0000'0000;
    static constexpr unsigned kLengthShift = 40;
    static constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kLengthShift) - 1;

    // nullptr for a column that is not kept.
    std::uint64_t* Cell(std::size_t row, std::size_t column) const {
        if (row >= rows_ || column >= kVersion1Columns) throw ComError::SubscriptOutOfRange();
        return slot_[column] < 0 ? nullptr : &cells_[static_cast<std::size_t>(slot_[column]) * rows_ + row];
    }
    static std::uint64_t ValueBits(std::string_view fileText, std::size_t offset, std::size_t length,
                                   std::string_view decimalMark);

    std::size_t rows_ = 0;
    std::size_t width_ = 0;
    std::array<int, kVersion1Columns> slot_{};  // index within a row, or -1
    // A Double's bits, or a text's place inside a NaN, which no value line
    // reads as. From calloc: fresh memory is zero already, so cells that no
    // value line fills cost no pass of their own.
    struct FreeCells {
        void operator()(std::uint64_t* cells) const noexcept { std::free(cells); }
    };
    std::unique_ptr<std::uint64_t[], FreeCells> cells_;
};

// Inline: the walk stores and the writer reads every cell of a large set.
inline void Version1Table::Store(std::size_t row, std::size_t column, Double value) {
    if (std::uint64_t* cell = Cell(row, column)) *cell = std::bit_cast<std::uint64_t>(value);
}

inline void Version1Table::StoreText(std::size_t row, std::size_t column, std::string_view fileText,
                                     std::size_t offset, std::size_t length, std::string_view decimalMark) {
    std::uint64_t* cell = Cell(row, column);
    if (cell == nullptr) return;
    *cell = offset <= kOffsetMask && length > 0 && length <= kLongestText
                ? kTextTag | std::uint64_t{length} << kLengthShift | offset
                : ValueBits(fileText, offset, length, decimalMark);
}

inline Version1Cell Version1Table::At(std::size_t row, std::size_t column) const {
    const std::uint64_t* cell = Cell(row, column);
    if (cell == nullptr) throw ComError::SubscriptOutOfRange();
    if ((*cell & kTextTag) != kTextTag) return {std::bit_cast<Double>(*cell), 0, 0};
    const auto length = static_cast<std::size_t>(*cell >> kLengthShift & kLongestText);
    return {0, static_cast<std::size_t>(*cell & kOffsetMask), length};
}

struct Version1Tables {
    Version1Table Training;
    Version1Table Validation;
};

// Old terminals a..j become d0..d9, the functions P and T become ^ and G.
String RenameVersion1Symbols(const String& text);

// Writes the first rows of a table as a data file: the first `terminals`
// columns and the dependent variable, separated by spaces, one record per
// line, each line ended by CR LF. Cells that hold a text's place take it
// from fileText.
void WriteVersion1Data(runfile::FileWriter& out, const Version1Table& table, Long rows, Long terminals,
                       std::string_view decimalSeparator, std::string_view fileText);

}  // namespace orv::upgrade
