// File-system faults: orvconvert runs from a private copy, so that the
// upgrade's folder (the program's own) is the test's to spoil. Each fault
// gives a clear error, or the upgrade falls back to the user's folder, and
// leaves no temporary file behind and every file of the user as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

#include "cli/ChildRun.h"
#include "hostile/HostileCorpus.h"
#include "legacy_file/clsFileParser.h"
#include "run_record/clsRun.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRunTemp = "_kvr_temp_tmp_28214855245.kvr";
constexpr const char* kLock = "_kvr_temp_tmp_28214855245.lock";

// A run file from the hostile corpus, generated with `repeat` units where the template has them.
fs::path CorpusFile(const fs::path& into, const std::string& name, std::size_t repeat = 0, std::string unit = "") {
    const fs::path corpus = test::ExamplesDir().parent_path() / "tests" / "hostile" / "corpus";
    const hostile::Case c{name, 0, repeat, std::move(unit)};
    if (repeat != 0) return hostile::Materialise(c, corpus, into);
    fs::copy_file(corpus / name, into / name);
    return into / name;
}

// What the files of a folder are, names only, sorted.
std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The `spoil` paths, "|" between them, are made first in the program's
// folder ("P/") or the user's ("U/"): a folder, or with "fifo:" a FIFO and
// with "file:" a file. In the arguments "U/" is the user's folder, and "long"
// and "big" are corpus files generated there.
struct Fault {
    const char* name;
    std::string spoil;
    std::vector<std::string> args;
    rlim_t fileSizeLimit;  // 0: none
    int error;
    std::vector<std::string> programFolderAfter;  // besides the program itself
};

TEST(FileSystemFaults, ClearErrorsAndNothingLeftBehind) {
    const std::string lock = kLock, runTemp = kRunTemp, userTemp = "U/orvconverter-" + std::to_string(geteuid());
    const std::vector<Fault> faults = {
        {"a write fails part-way through the training data file", "", {"convert", "long"}, 64 * 1024, 75, {kLock}},
        {"a write fails part-way through the upgraded run file", "", {"convert", "long"}, 120000 + 200, 75, {kLock}},
        {"the saved run file is cut short", "", {"upgrade", "big", "-o", "U/out.kvr"}, 16 * 1024, 75, {}},
        {"the run file is a folder", "U/run.kvr", {"convert", "U/run.kvr"}, 0, 5004, {}},
        {"the run file is a pipe nobody writes to", "fifo:U/run.kvr", {"convert", "U/run.kvr"}, 0, 5004, {}},
        {"the run file cannot be read", "", {"convert", "/proc/self/mem"}, 0, 75, {}},
        {"the program's folder and the user's temporary folder cannot be written", "P/" + lock + "|file:" + userTemp,
         {"convert", "U/v1-base.kvr"}, 0, 75, {kLock}},
        {"the program's folder cannot be written: the user's folder serves", "P/" + lock, {"convert", "U/v1-base.kvr"}, 0,
         0, {kLock}},
        {"a folder stands where the training data file goes", "P/traintemp.tmp", {"convert", "U/v1-base.kvr"}, 0, 75,
         {kLock, "traintemp.tmp"}},
        {"a folder stands where the upgraded run file goes", "P/" + runTemp, {"convert", "U/v1-base.kvr"}, 0, 75,
         {kRunTemp, kLock}},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        test::TempDir program, user;
        const fs::path copy = program.path() / "orvconvert";
        fs::copy_file(ORV_CLI_BINARY, copy);
        const auto place = [&](std::string p) {
            return p.starts_with("P/") ? program.path() / p.substr(2) : p.starts_with("U/") ? user.path() / p.substr(2) : fs::path(p);
        };
        for (std::string spoil = f.spoil; !spoil.empty(); spoil = spoil.find('|') == std::string::npos ? "" : spoil.substr(spoil.find('|') + 1)) {
            const std::string one = spoil.substr(0, spoil.find('|'));
            if (one.starts_with("fifo:")) mkfifo(place(one.substr(5)).c_str(), 0600);
            else if (one.starts_with("file:")) std::ofstream(place(one.substr(5)));
            else fs::create_directory(place(one));
        }
        CorpusFile(user.path(), "v1-base.kvr");
        std::vector<std::string> args;
        for (const auto& a : f.args)
            args.push_back(a == "long" ? CorpusFile(user.path(), "v1-rows-past-room-value-lines.kvr", 40000, "\r\n1").string()
                           : a == "big" ? CorpusFile(user.path(), "comment-ten-megabytes.kvr", 100000, "x").string()
                                        : place(a).string());
        std::map<std::string, std::string> before;
        for (const auto& name : Names(user.path()))
            if (fs::is_regular_file(user.path() / name)) before[name] = test::ReadAll(user.path() / name);

        const test::ChildRun run = test::RunInChild(copy.string(), args, program.path() / "stderr",
                                                    {f.fileSizeLimit, {{"TMPDIR", user.path().string()}}});
        EXPECT_EQ(run.error, f.error) << run.stderrText;
        fs::remove(program.path() / "stderr");
        auto left = f.programFolderAfter;
        left.push_back("orvconvert");
        std::sort(left.begin(), left.end());
        EXPECT_EQ(Names(program.path()), left);
        for (const auto& [name, bytes] : before)
            EXPECT_TRUE(test::ReadAll(user.path() / name) == bytes) << name << " was changed";
        EXPECT_FALSE(fs::exists(user.path() / "out.kvr")) << "a file cut short is not left as if whole";
    }
}

// The run file goes, or changes, after the version probe and before the load.
TEST(FileSystemFaults, TheFileChangesBetweenProbeAndLoad) {
    struct Case {
        const char* file;
        std::function<void(const fs::path&)> change;
        int error;
    };
    const std::vector<Case> cases = {
        {"v1-base.kvr", [](const fs::path& p) { fs::remove(p); }, 53},
        {"head-two-million.kvr", [](const fs::path& p) { fs::remove(p); }, 53},
        {"head-two-million.kvr", [](const fs::path& p) { fs::remove(p), fs::create_directory(p); }, 53},
        {"head-two-million.kvr", [](const fs::path& p) { std::ofstream(p, std::ios::trunc); }, 20015},
        {"v1-base.kvr", [](const fs::path& p) { std::ofstream(p, std::ios::trunc); }, 2001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        test::TempDir dir;
        const fs::path file = CorpusFile(dir.path(), c.file);
        clsFileParser parser;
        clsRun run;
        run.GravadoEmVersaoAnterior(parser.Version(file.string()) == 1);
        c.change(file);
        EXPECT_COM_ERROR(parser.LoadFile(file.string(), run), c.error, nullptr);
    }
}

}  // namespace
}  // namespace orv
