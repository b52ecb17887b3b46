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
std::size_t Position(const String& text, std::string_view what) {
    const std::size_t at = text.find(what);
    return at == String::npos ? 0 : at + 1;
}

// The lines between a block's opening and closing line, when there are any.
bool BlockText(const String& text, std::string_view open, std::size_t openSkip, std::string_view close,
               String& out) {
    const auto s = static_cast<std::int64_t>(Position(text, open) + openSkip);
    const auto e = static_cast<std::int64_t>(Position(text, close)) - 2;
    if (s >= e) return false;
    out.assign(text, static_cast<std::size_t>(s - 1), static_cast<std::size_t>(e - s));
    clsFileParser::NormaliseDecimals(out, "");
    return true;
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
    try {
        FileText_ = runfile::ReadWholeFile(FilePath_);
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
    // to sixteen characters before the end (inside the "</VALUES>" line).
    const std::size_t v = Position(FileText_, "<VALUES>");
    FileText_.erase(0, std::min(FileText_.size(), v + 9));
    if (FileText_.size() < 16) throw ComError(5, "", "Invalid procedure call or argument");
    FileText_.resize(FileText_.size() - 16);

    String values;
    if (BlockText(FileText_, "<TRAIN>", 9, "</TRAIN>", values)) run.TrainValues(std::move(values));
    if (BlockText(FileText_, "<TEST>", 8, "</TEST>", values)) run.ValidationValues(std::move(values));
    return true;
}

double clsFileParser::ReadNumber(const String& text) { return v2LocaleSettings::NumberFromText(text); }

void clsFileParser::NormaliseDecimals(String& text, std::string_view fieldSeparator) {
    v2LocaleSettings::NormaliseDecimals(text, fieldSeparator);
}

}  // namespace orv
