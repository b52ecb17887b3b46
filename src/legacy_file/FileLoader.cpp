#include <array>
#include <memory>
#include <string_view>

#include "common/ComError.h"
#include "legacy_file/RunFileIO.h"
#include "legacy_file/clsFileParser.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

ComError InvalidFile() {
    return {20015, "clsFileParser", "The file is invalid or was saved with a different version of ORV."};
}

// 1-based position of what in text, 0 when absent, as the offsets below expect.
std::size_t Position(std::string_view text, std::string_view what) {
    const std::size_t at = text.find(what);
    return at == std::string_view::npos ? 0 : at + 1;
}

// Where text holds a or b from `from` on, npos when nowhere: blocks that
// hold neither are passed over in a loop that the compiler vectorises.
std::size_t FindEither(std::string_view text, std::size_t from, char a, char b) {
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const auto ua = static_cast<unsigned char>(a), ub = static_cast<unsigned char>(b);
    constexpr std::size_t kBlock = 64;
    std::size_t i = from;
    for (; i + kBlock <= text.size(); i += kBlock) {
        unsigned char hit = 0;
        for (std::size_t j = i; j < i + kBlock; ++j) hit |= static_cast<unsigned char>((t[j] == ua) | (t[j] == ub));
        if (hit != 0) break;
    }
    for (; i < text.size(); ++i)
        if (t[i] == ua || t[i] == ub) return i;
    return std::string_view::npos;
}

// 1-based positions of the first occurrence of each tag (0 when absent),
// found in one pass: every tag starts with "<", which a values text has none
// of, so a large values block is searched once rather than once per tag. The
// same pass looks for ",", which the decimals' normalising would look for
// next: noComma is the length of the text's start known to hold none.
template <std::size_t N>
std::array<std::size_t, N> Positions(std::string_view text, const std::array<std::string_view, N>& tags,
                                     std::size_t& noComma) {
    std::array<std::size_t, N> at{};
    std::size_t missing = N;
    bool comma = false;
    std::size_t p = FindEither(text, 0, '<', ',');
    for (; p != std::string_view::npos && missing > 0;
         p = comma ? text.find('<', p + 1) : FindEither(text, p + 1, '<', ',')) {
        if (text[p] == ',') {
            if (!comma) noComma = p;
            comma = true;
            continue;
        }
        for (std::size_t t = 0; t < N; ++t) {
            if (at[t] == 0 && text.compare(p, tags[t].size(), tags[t]) == 0) {
                at[t] = p + 1;
                --missing;
            }
        }
    }
    if (!comma) noComma = p == std::string_view::npos ? text.size() : p;
    return at;
}

// Where the lines between a block's opening line (its text starting at s)
// and its closing line (its text at position e + 2) are in the region: the
// index of the first and their length, 0 when there are none.
std::pair<std::size_t, std::size_t> BlockSpan(std::size_t s, std::size_t closeAt) {
    const auto first = static_cast<std::int64_t>(s);
    const auto e = static_cast<std::int64_t>(closeAt) - 2;
    if (first >= e) return {0, 0};
    return {static_cast<std::size_t>(first - 1), static_cast<std::size_t>(e - first)};
}

}  // namespace

bool clsFileParser::LoadFile(const FilePath& FileName, clsRun& runTemp) {
    // An upgraded copy lives in the upgrade's shared folder, which stays ours
    // until the copy has been read; let it go on every way out.
    struct ReleaseUpgradeFolder {
        std::shared_ptr<upgrade::UpgradeFolder>& held;
        ~ReleaseUpgradeFolder() { held.reset(); }
    } release{UpgradeFolder_};
    return Guarded([&] {
        const v2LocaleSettings::OperationSeparator separator;
        if (!runfile::FileExists(FileName)) {
            FileFound_ = false;
            throw ComError::FileNotFound();
        }
        FilePath_ = FileName;
        FileFound_ = true;
        if (runTemp.GravadoEmVersaoAnterior()) FilePath_ = ConvertOldRun(FileName, runTemp);
        ReadHeaderAndRun(runTemp);
        if (!ReadValuesBlock(runTemp)) throw InvalidFile();
        runTemp.PathFile(FileName.Text());
        return true;
    });
}

bool clsFileParser::ReadHeaderAndRun(clsRun& run) {
    if (!FileFound_) throw ComError::FileNotFound();
    runfile::LineReader in(FilePath_);
    String line, tag, value;
    while (!in.AtEnd()) {
        line = in.ReadLine();
        if (line == "<ATTR>") break;
        if (line.find("<NAME>") == String::npos) continue;
        if (!SplitTagLine(line, tag, value)) throw InvalidFile();
        RunName_ = value;
    }
    if (in.AtEnd()) {
        FileFound_ = false;
        throw InvalidFile();
    }
    run.Key(RunName_);
    // Every line up to a "<VALUES>" that still has lines after it; reading
    // past the end raises 62.
    do {
        line = in.ReadLine();
        if (SplitTagLine(line, tag, value)) PreencherRun(tag, value, run);
    } while (line != "<VALUES>" || in.AtEnd());
    return true;
}

bool clsFileParser::SplitTagLine(std::string_view line, String& tag, String& value) {
    const std::size_t p = line.find('>');
    if (p == std::string_view::npos || p == 0) return false;
    tag.assign(line.substr(1, p - 1));
    const std::size_t q = line.find('<', p);
    if (q == std::string_view::npos) return false;
    value.assign(line.substr(p + 1, q - p - 1));
    return true;
}

bool clsFileParser::ReadValuesBlock(clsRun& run) {
    if (!FileFound_) throw ComError::FileNotFound();
    // A file of the usual layout, a "<VALUES>" line and then a "<TRAIN>" line
    // in its first piece and no other tag between them, is read from its
    // training values on: they stay where they are read, however large. The
    // skipped part is kept for the rare layouts that need the whole text.
    std::string skipped;
    std::size_t regionAt = 0;  // where the values block's region starts in the file
    std::size_t front = 0;     // characters of the file before FileText_
    try {
        front = runfile::ReadWholeFile(FilePath_, FileText_, [&](std::string_view first) -> std::size_t {
            const std::size_t values = Position(first, "<VALUES>");
            if (values == 0) return 0;
            const std::size_t train = first.find('<', values + 8);
            if (train == std::string_view::npos || first.compare(train, 7, "<TRAIN>") != 0 ||
                first.find('<', train + 1) < train + 9 || train + 9 > first.size())
                return 0;
            skipped.assign(first.substr(0, train + 9));
            regionAt = values + 8;
            return train + 9;
        });
    } catch (...) {
        try {
            RethrowAsComError();
        } catch (const ComError& e) {
            // A file that cannot be opened is the caller's error; a failed
            // read is recorded and reported as an invalid file.
            if (e.Number() == err::kFileNotFound || e.Number() == runfile::kPathFileAccessError) throw;
            FileFound_ = false;
            ErrNumber_ = e.Number();
            ErrDescription_ = "Run not found or the file is invalid.";
            return false;
        }
    }
    // From ten characters after "<VALUES>" (the tag and its line break), up
    // to sixteen characters before the end (inside the "</VALUES>" line): the
    // tags are looked for in that region, and the blocks are placed in it.
    std::array<std::size_t, 4> at{};
    std::pair<std::size_t, std::size_t> trainAt, testAt;  // in FileText_
    std::size_t scanned = 0, noComma = 0;                 // FileText_'s part searched, and its start with no ","
    if (front > 0 && FileText_.size() >= 16) {
        // The region's first characters up to the training values were
        // skipped, "<TRAIN>" the only tag among them.
        const std::size_t before = front - regionAt;
        at[0] = before - 8;
        const auto later = Positions<3>(std::string_view(FileText_).substr(0, FileText_.size() - 16),
                                        {"</TRAIN>", "<TEST>", "</TEST>"}, noComma);
        for (std::size_t t = 0; t < 3; ++t) at[t + 1] = later[t] == 0 ? 0 : later[t] + before;
        trainAt = BlockSpan(at[0] + 9, at[1]);
        testAt = BlockSpan(at[2] + 8, at[3]);
        if (testAt.second > 0 && testAt.first < before) {
            front = 0;  // a test block that starts among the skipped characters
        } else {
            trainAt.first = 0;
            testAt.first = testAt.second == 0 ? 0 : testAt.first - before;
        }
    } else {
        front = 0;
    }
    if (front == 0) {
        FileText_.insert(0, skipped);
        std::string_view region = FileText_;
        const std::size_t start = std::min(region.size(), Position(region, "<VALUES>") + 9);
        region.remove_prefix(start);
        if (region.size() < 16) throw ComError(5, "", "Invalid procedure call or argument");
        region.remove_suffix(16);
        at = Positions<4>(region, {"<TRAIN>", "</TRAIN>", "<TEST>", "</TEST>"}, noComma);
        trainAt = BlockSpan(at[0] + 9, at[1]);
        testAt = BlockSpan(at[2] + 8, at[3]);
        trainAt.first += start;
        testAt.first += start;
        scanned = start;
    }
    // Whether a block lies in the searched part's start that holds no ",".
    const auto commaFree = [&](std::pair<std::size_t, std::size_t> block) {
        return block.first >= scanned && block.first + block.second <= scanned + noComma;
    };
    const bool trainCommaFree = commaFree(trainAt), testCommaFree = commaFree(testAt);

    // The file's text becomes the larger of the two value texts, moved to
    // the front of its own buffer (where a file of the usual layout has its
    // training values already); only the smaller one is copied. The values
    // block is not kept past this point.
    const std::string_view train = std::string_view(FileText_).substr(trainAt.first, trainAt.second);
    const std::string_view test = std::string_view(FileText_).substr(testAt.first, testAt.second);
    const bool trainTakesBuffer = train.size() >= test.size();
    const std::string_view copied = trainTakesBuffer ? test : train;
    const std::string_view moved = trainTakesBuffer ? train : test;
    String smaller(copied);
    const std::size_t offset = moved.empty() ? 0 : static_cast<std::size_t>(moved.data() - FileText_.data());
    String larger = std::move(FileText_);
    FileText_.clear();
    larger.resize(offset + moved.size());
    larger.erase(0, offset);
    String& trainText = trainTakesBuffer ? larger : smaller;
    String& testText = trainTakesBuffer ? smaller : larger;
    if (!train.empty()) {
        NormaliseDecimals(trainText, "", !trainCommaFree);
        run.TrainValues(std::move(trainText));
    }
    if (!test.empty()) {
        NormaliseDecimals(testText, "", !testCommaFree);
        run.ValidationValues(std::move(testText));
    }
    return true;
}

double clsFileParser::ReadNumber(const String& text) { return v2LocaleSettings::NumberFromText(text); }

void clsFileParser::NormaliseDecimals(String& text, std::string_view fieldSeparator, bool mayHoldComma) {
    v2LocaleSettings::NormaliseDecimals(text, fieldSeparator, v2LocaleSettings::DecimalSeparator(), mayHoldComma);
}

}  // namespace orv
