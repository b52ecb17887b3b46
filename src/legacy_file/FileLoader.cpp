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

// 1-based positions of the first occurrence of each tag (0 when absent),
// found in one pass: every tag starts with "<", which a values text has none
// of, so a large values block is searched once rather than once per tag.
template <std::size_t N>
std::array<std::size_t, N> Positions(std::string_view text, const std::array<std::string_view, N>& tags) {
    std::array<std::size_t, N> at{};
    std::size_t missing = N;
    for (std::size_t p = text.find('<'); p != std::string_view::npos && missing > 0; p = text.find('<', p + 1)) {
        for (std::size_t t = 0; t < N; ++t) {
            if (at[t] == 0 && text.compare(p, tags[t].size(), tags[t]) == 0) {
                at[t] = p + 1;
                --missing;
            }
        }
    }
    return at;
}

constexpr std::array<std::string_view, 4> kBlockTags{"<TRAIN>", "</TRAIN>", "<TEST>", "</TEST>"};
constexpr std::size_t kTrainOpening = 9;  // "<TRAIN>" and its line break

// Where the values region starts in a text that holds the file from its
// first byte: ten characters after the first "<VALUES>" (the tag and its line
// break), or from the tenth character when there is none.
std::size_t RegionStart(std::string_view text) { return Position(text, "<VALUES>") + 9; }

// How many of the file's first bytes the values block reader need not hold:
// all up to the training text, when the file's first piece shows where that
// starts and that nothing the reader takes lies before it (the region starts
// there, its first "<TRAIN>" lies there with room after it, and no other
// block tag starts before the training text). 0 when the piece does not
// show it, and the whole file is read.
std::size_t BytesBeforeTraining(std::string_view head, std::uint64_t size) {
    const std::size_t begin = RegionStart(head);
    if (head.find("<VALUES>") == std::string_view::npos || size < begin + 16) return 0;
    const auto at = Positions<4>(head.substr(std::min(begin, head.size())), kBlockTags);
    if (at[0] == 0) return 0;
    const std::size_t train = begin + at[0] - 1 + kTrainOpening;
    // Room for a whole tag after it in the piece: a tag that starts before
    // the training text is then found whole.
    if (train + 8 > head.size() || train > size - 16) return 0;
    for (std::size_t t = 1; t < at.size(); ++t)
        if (at[t] != 0 && begin + at[t] - 1 < train) return 0;
    return train;
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
    // The file is read from its training text on when its first piece shows
    // that nothing before that is needed: the training text then starts the
    // buffer that the record takes, with no move of it to the front.
    std::size_t base = 0;         // of the file's bytes, those not in FileText_
    std::size_t headRegion = 0;   // where the region starts, as the first piece showed, when base is not 0
    const auto read = [&](bool skipping) {
        try {
            base = 0;
            if (skipping) {
                runfile::ReadWholeFile(FilePath_, FileText_, [&](std::string_view head, std::uint64_t size) {
                    headRegion = RegionStart(head);
                    return base = BytesBeforeTraining(head, size);
                });
            } else {
                runfile::ReadWholeFile(FilePath_, FileText_);
            }
            return true;
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
    };
    if (!read(true)) return false;

    // The region runs from ten characters after "<VALUES>" (the tag and its
    // line break) up to sixteen characters before the end (inside the
    // "</VALUES>" line). A block's text lies between its opening line (the
    // text starting at s, 1-based in the region) and its closing line (at
    // closeAt); as an offset in the file and a length, none when s >= closeAt - 2.
    struct Span {
        std::size_t from = 0, length = 0;
    };
    std::size_t begin = 0;
    Span train, test;
    // False when FileText_ starts past what the block texts need after all:
    // a test text before the training text (no "<TEST>" in the region), or a
    // file that changed between the two looks at it.
    const auto blocks = [&]() {
        const std::size_t size = base + FileText_.size();
        begin = base == 0 ? std::min(size, RegionStart(FileText_)) : headRegion;
        if (base != 0 && size < base + 16) return false;
        if (size - begin < 16) throw ComError(5, "", "Invalid procedure call or argument");
        const std::size_t end = size - 16;
        // The first place of each block tag in the region (1-based, 0 when
        // absent). Past base only the tags after the training text's start
        // are looked for: the first "<TRAIN>" is the one the first piece showed.
        const std::size_t from = std::max(begin, base);
        auto at = Positions<4>(std::string_view(FileText_).substr(from - base, end - from), kBlockTags);
        for (auto& a : at)
            if (a != 0) a += from - begin;
        if (base != 0) at[0] = base - kTrainOpening - begin + 1;
        const auto block = [&](std::size_t s, std::size_t closeAt) {
            const auto first = static_cast<std::int64_t>(s);
            const auto e = static_cast<std::int64_t>(closeAt) - 2;
            if (first >= e) return Span{};
            return Span{begin + static_cast<std::size_t>(first - 1), static_cast<std::size_t>(e - first)};
        };
        train = block(at[0] + 9, at[1]);
        test = block(at[2] + 8, at[3]);
        return test.length == 0 || test.from >= base;
    };
    if (!blocks()) {
        if (!read(false)) return false;
        blocks();
    }

    // The file's text becomes the larger of the two value texts, moved to
    // the front of its own buffer (where it mostly starts already); only the
    // smaller one is copied. The values block is not kept past this point.
    const bool trainTakesBuffer = train.length >= test.length;
    const Span copied = trainTakesBuffer ? test : train;
    const Span moved = trainTakesBuffer ? train : test;
    String smaller = copied.length == 0 ? String() : FileText_.substr(copied.from - base, copied.length);
    const std::size_t offset = moved.length == 0 ? 0 : moved.from - base;
    String larger = std::move(FileText_);
    FileText_.clear();
    larger.resize(offset + moved.length);
    larger.erase(0, offset);
    String& trainText = trainTakesBuffer ? larger : smaller;
    String& testText = trainTakesBuffer ? smaller : larger;
    if (train.length > 0) {
        NormaliseDecimals(trainText, "");
        run.TrainValues(std::move(trainText));
    }
    if (test.length > 0) {
        NormaliseDecimals(testText, "");
        run.ValidationValues(std::move(testText));
    }
    return true;
}

double clsFileParser::ReadNumber(const String& text) { return v2LocaleSettings::NumberFromText(text); }

void clsFileParser::NormaliseDecimals(String& text, std::string_view fieldSeparator) {
    v2LocaleSettings::NormaliseDecimals(text, fieldSeparator);
}

}  // namespace orv
