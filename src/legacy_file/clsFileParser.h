// Reads and writes legacy run files: the version probe, the loader of
// version-2.0 files, the run block reader and writer, and (in upgrade/) the
// version-1.0 upgrade and the import of data files.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FilePath.h"
#include "run_record/clsRun.h"

namespace orv {

namespace upgrade {
class UpgradeFolder;
}

class clsFileParser {
public:
    // -2 missing file, -1 not a run file, 1 version 1.0, 2 version 2.0,
    // 3 a run file of an unusable version. Reads only the first one or two lines.
    double Version(const FilePath& path) const;

    // Loads the file into runTemp; upgrades a version-1.0 file first when
    // runTemp.GravadoEmVersaoAnterior() is true (runTemp is then replaced by
    // the upgraded record). Answers true; every failure is raised.
    bool LoadFile(const FilePath& FileName, clsRun& runTemp);

    // Writes theRun as a version-2.0 run file; ".kvr" is appended unless the
    // name already ends with it. Answers true; every failure is raised.
    bool SaveKvr(const FilePath& FileName, const clsRun& theRun) const;

    // Applies one RUN-block tag line to the run; true when the tag is known.
    bool PreencherRun(const String& tag, const String& value, clsRun& run) const;

    // The RUN block of the run, "<RUN>" to "</RUN>", every line ended by CR LF.
    String WriteRunBlock(const clsRun& run) const;

    // Reloads set 0 (training) or 1 (validation) from the path the run names.
    void OpenDataFileRun(Long WhichSet, clsRun& theRun);

    // Upgrades the version-1.0 file at Path into a version-2.0 file, replaces
    // theRun with the new record and answers the new file's path.
    FilePath ConvertOldRun(const FilePath& Path, clsRun& theRun);

    // The folder the version-1.0 upgrade is to work in, for a caller that
    // gives each upgrade a private one; empty (the default) for the
    // component's own folder or the user's.
    void UpgradeIn(std::filesystem::path folder) { UpgradeIn_ = std::move(folder); }

    Long NumeroValoresFicheiro() const noexcept { return NumeroValoresFicheiro_; }
    const String& ErrDescription() const noexcept { return ErrDescription_; }
    Long ErrNumber() const noexcept { return ErrNumber_; }
    bool FileFound() const noexcept { return FileFound_; }
    const String& RunName() const noexcept { return RunName_; }

    // Splits '<TAG>value</TAG>'; false when the line is not a tag line (the
    // tag may already be set then).
    static bool SplitTagLine(std::string_view line, String& tag, String& value);

    // Number reading of tag values: "." or "," becomes the user's mark.
    static double ReadNumber(const String& text);
    // In-place conversion of a data text's decimal marks to the user's mark;
    // mayHoldComma false when the caller knows the text has no ",".
    static void NormaliseDecimals(String& text, std::string_view fieldSeparator, bool mayHoldComma = true);

    // Imports a data file into set 0 (training) or 1 (validation); false when
    // the first record is refused.
    bool OpenDataFile(const FilePath& path, Long WhichSet, Long separatorCode, clsRun& theRun);

private:
    bool ReadHeaderAndRun(clsRun& run);
    bool ReadValuesBlock(clsRun& run);

    String FileText_;
    FilePath FilePath_;
    bool FileFound_ = false;
    String RunName_;
    Long NumeroValoresFicheiro_ = 0;
    String ErrDescription_;
    Long ErrNumber_ = 0;
    // The upgrade's temporary folder, held from ConvertOldRun until the
    // loader has read the upgraded file.
    std::shared_ptr<upgrade::UpgradeFolder> UpgradeFolder_;
    std::filesystem::path UpgradeIn_;
};

}  // namespace orv
