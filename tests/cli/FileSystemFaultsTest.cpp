// File-system faults: orvconvert runs from a private copy, so that the
// upgrade's folder (the program's own) is the test's to spoil. Each fault
// gives a clear error, or the upgrade falls back to the user's folder, and
// leaves no temporary file behind and every file of the user as it was.

#include <sys/stat.h>

#include <iterator>

#include "cli/CliRun.h"
#include "common/Conversions.h"
#include "hostile/HostileCorpus.h"
#include "legacy_file/clsFileParser.h"
#include "run_record/clsRun.h"

namespace orv {
namespace {

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

// The rows of fs-faults.txt.
TEST(FileSystemFaults, ClearErrorsAndNothingLeftBehind) {
    const auto rows = test::DataRows("cli/fs-faults.txt");
    EXPECT_GE(rows.size(), 10u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.where);
        test::TempDir program, user;
        const fs::path copy = program.path() / "orvconvert";
        fs::copy_file(ORV_CLI_BINARY, copy);
        const auto place = [&](std::string p) {
            return p.starts_with("P/") ? program.path() / p.substr(2) : p.starts_with("U/") ? user.path() / p.substr(2) : fs::path(p);
        };
        const auto words = [](const std::string& text) {
            std::istringstream in(text == "-" ? "" : ReplaceAll(text, "{uid}", std::to_string(geteuid())));
            return std::vector<std::string>(std::istream_iterator<std::string>(in), {});
        };
        for (const auto& one : words(row.fields.at(2))) {
            if (one.starts_with("fifo:")) mkfifo(place(one.substr(5)).c_str(), 0600);
            else if (one.starts_with("file:")) std::ofstream(place(one.substr(5)));
            else fs::create_directory(place(one));
        }
        CorpusFile(user.path(), "v1-base.kvr");
        std::vector<std::string> args;
        for (const auto& a : words(row.fields.at(3)))
            args.push_back(a == "long" ? CorpusFile(user.path(), "v1-rows-past-room-value-lines.kvr", 40000, "\r\n1").string()
                           : a == "big" ? CorpusFile(user.path(), "comment-ten-megabytes.kvr", 100000, "x").string()
                                        : place(a).string());
        std::map<std::string, std::string> before;
        for (const auto& name : Names(user.path()))
            if (fs::is_regular_file(user.path() / name)) before[name] = test::ReadAll(user.path() / name);

        const test::ChildRun run = test::RunInChild(copy.string(), args, program.path() / "stderr",
                                                    {std::stoul(row.fields[1]), {{"TMPDIR", user.path().string()}}});
        EXPECT_EQ(run.error, std::stoi(row.fields[0])) << run.stderrText;
        fs::remove(program.path() / "stderr");
        auto left = words(row.fields.at(4));
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
    // The change: "gone", "a folder" in its place, or "emptied".
    const struct { const char* file; std::string change; int error; } cases[] = {
        {"v1-base.kvr", "gone", 53}, {"head-two-million.kvr", "gone", 53}, {"head-two-million.kvr", "a folder", 53},
        {"head-two-million.kvr", "emptied", 20015}, {"v1-base.kvr", "emptied", 2001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.change);
        test::TempDir dir;
        const fs::path file = CorpusFile(dir.path(), c.file);
        clsFileParser parser;
        clsRun run;
        run.GravadoEmVersaoAnterior(parser.Version(file.string()) == 1);
        if (c.change == "emptied") std::ofstream(file, std::ios::trunc);
        else fs::remove(file);
        if (c.change == "a folder") fs::create_directory(file);
        EXPECT_COM_ERROR(parser.LoadFile(file.string(), run), c.error, nullptr);
    }
}

}  // namespace
}  // namespace orv
