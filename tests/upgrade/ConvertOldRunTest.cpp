#include <gmock/gmock.h>

#include <thread>

#include "legacy_file/clsFileParser.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "upgrade/UpgradeFolder.h"
#include "upgrade/Version1File.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace orv::upgrade {
namespace {

using Lines = std::vector<std::string>;

// Header, settings (training rows, validation rows, terminals), name, two
// unread lines, Karva, six fitness figures, two paths, then the data section.
std::string Version1Text(Long train, Long validation, Long terminals, const Lines& data,
                         const std::string& header = "<Zolvane><ORV 1.00>") {
    std::string text = header + "\r\nC:\\d#100#2#30#4#0#" + std::to_string(train) + "#" + std::to_string(validation) +
                       "#" + std::to_string(terminals) + "#0#0#100#0.044#0.3#0.3#0.1#0.1#+-*/PT#0.1#1#" +
                       "1@0@0@0@0@0@0@0@0@0#0.1#1#1@0@0@0@0@0@0@0@0@0\r\n";
    for (const char* l : {"Run", "", "", "+ab", "1", "2", "0.5", "3", "4", "0.25", "train.txt", "test.txt"})
        text += std::string(l) + "\r\n";
    for (const auto& l : data) text += l + "\r\n";
    return text;
}

clsRun Load(const std::string& path) {
    clsRun run;
    run.GravadoEmVersaoAnterior(true);
    clsFileParser().LoadFile(path, run);
    return run;
}

TEST(ConvertOldRun, RenamesOldSymbolsInOrder) {
    EXPECT_EQ(RenameVersion1Symbols("+a*bd") + "|" + RenameVersion1Symbols("Pcj + Tefghi"), "+d0*d1d3|^d2d9 + Gd4d5d6d7d8");
}

TEST(ConvertOldRun, DataSectionWalk) {
    test::ScopedLocale locale(test::kCommaLocale);
    test::TempDir dir;
    for (const auto& row : test::DataRows("upgrade/data/old-data-sections.txt")) {
        Lines data;
        for (std::size_t from = 0, end; (end = row[3].find('/', from)) != std::string::npos; from = end + 1)
            data.push_back(row[3].substr(from, end - from));
        const auto path = dir.Write("run.kvr", Version1Text(std::stoi(row[0]), std::stoi(row[1]), std::stoi(row[2]), data));
        EXPECT_EQ(Load(path.string()).TrainValues(), row[4]) << row.where;
    }
    // The table has room for lines 0 to 30000 and the walk ends at line 29986.
    Lines data = {"<VarDep>"};
    for (int line = 15; line <= 29990; ++line) data.push_back(std::to_string(line));
    const std::string text = Load(dir.Write("long.kvr", Version1Text(30000, 0, 0, data)).string()).TrainValues();
    EXPECT_NE(text.find("\r\n29986\r\n0\r\n"), std::string::npos);
    EXPECT_EQ(text.find("29987"), std::string::npos);
}

// A section of a megabyte or more is walked in two parts on two threads, the
// second from a tag line near its middle: it must count the lines before it
// as the walk does, whatever ends them. The first column, not kept, has lines
// ended by CR alone, empty lines and an LF that joins two; the dependent
// column's values are their own line numbers, so the last one kept shows
// where the walk ended (line 159986, the room being 160001 entries). A tag
// line right after another is a value line and no place to start a part.
TEST(ConvertOldRun, DataSectionWalkedInTwoParts) {
    test::ScopedLocale locale(test::kPointLocale);
    test::TempDir dir;
    for (const std::string before : {"", "<TerminalB>\r\n"}) {
        std::string text = Version1Text(80000, 0, 0, {"<TerminalA>"});
        std::size_t line = 15;
        for (int i = 1; line < 80000; ++i) {
            const std::string_view end = i % 997 == 0 ? "\r" : i % 1009 == 0 ? "\r\r\n" : i % 1013 == 0 ? "\n" : "\r\n";
            text += "12.5";
            text += end;
            line += static_cast<std::size_t>(std::count(end.begin(), end.end(), '\r'));
        }
        text += before + "<VarDep>\r\n";
        for (++line; line < 159995; ++line) text += std::to_string(line) + "\r\n";
        const std::string values = Load(dir.Write("split.kvr", text).string()).TrainValues();
        if (before.empty()) {
            EXPECT_NE(values.find("\r\n159986\r\n0\r\n"), std::string::npos);
            EXPECT_EQ(values.find("159987"), std::string::npos);
        } else {
            EXPECT_EQ(values.find_first_not_of("0\r\n"), std::string::npos);  // the numbers went to TerminalB
        }
    }
}

// Training counts beyond what a file could fill, twelve terminals and values
// too large are rows of the hostile corpus; here what it does not reach.
TEST(ConvertOldRun, RefusedFiles) {
    test::TempDir dir;
    clsRun run;
    clsFileParser parser;
    const auto convert = [&](const std::string& text) { parser.ConvertOldRun(dir.Write("x.kvr", text).string(), run); };
    EXPECT_COM_ERROR_FROM(convert(Version1Text(1, 0, 0, {}, "<Zolvane><ORV 2.00>")), 2001,
                          "This file is invalid or was saved with a newer version of ORV.", "frmMain::OpenRun");
    EXPECT_COM_ERROR(convert(Version1Text(1, 40000, 1, {})), err::kOutOfMemory, "Out of memory");
    // A value is read even in a column that no data file will hold.
    EXPECT_COM_ERROR(convert(Version1Text(1, 0, 1, {"<TerminalJ>", "1e999"})), err::kOverflow, nullptr);
    EXPECT_COM_ERROR(parser.ConvertOldRun("", run), 91, nullptr);
    EXPECT_FALSE(run.GravadoEmVersaoAnterior());
    // Value lines among empty and tag lines are counted exactly.
    Lines mixed = {"<VarDep>"};
    for (int k = 0; k < 12000; ++k) mixed.insert(mixed.end(), {"1", "", "<x>", "2", "\n3"});
    EXPECT_NO_THROW(convert(Version1Text(36000, 0, 0, mixed)));
    EXPECT_COM_ERROR(convert(Version1Text(36001, 0, 0, mixed)), err::kOutOfMemory, "Out of memory");
}

// Upgrades share fixed temporary names; several at once must each keep
// their own data.
TEST(ConvertOldRun, ConcurrentUpgradesKeepTheirOwnData) {
    test::ScopedLocale locale(test::kPointLocale);
    test::TempDir dir;
    std::vector<std::string> failures(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < failures.size(); ++i)
        threads.emplace_back([&, i] {
            Lines data = {"<VarDep>"};
            std::string expected;
            for (std::size_t row = 0; row < 500; ++row) expected += data.emplace_back(std::to_string(i * 1000 + row)) + "\r\n";
            const auto path = dir.Write("run" + std::to_string(i) + ".kvr", Version1Text(500, 0, 0, data)).string();
            try {
                for (int round = 0; round < 5; ++round)
                    if (Load(path).TrainValues() != expected) failures[i] = "mixed up";
            } catch (const ComError& e) {
                failures[i] = e.Description();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures, std::vector<std::string>(failures.size()));
}

TEST(ConvertValues, TakesTheFieldsUpToTheFirstBadOne) {
    for (const char* locale : {test::kPointLocale, test::kCommaLocale}) {
        for (const auto& row : test::DataRows("upgrade/data/settings-lines.txt")) {
            std::vector<std::string> fields = {"C:\\data", "500", "1", "60", "7", "1", "25", "5", "3", "0.01", "2", "100",
                                               "0.044", "0.3", "0,3", "0.1", "0.1", "+-*/PT", "0.1", "3",
                                               "1@2@3@0@0@0@0@0@0@0", "0.1", "2", "4@5@0@0@0@0@0@0@0@0"};
            if (row[1] == "cut") fields.resize(std::stoul(row[0]));
            else if (!row[0].empty()) fields[std::stoul(row[0])] = row[1];
            std::string line;
            for (const auto& f : fields) line += (line.empty() ? "" : "#") + f;
            clsRun run;
            {
                test::ScopedLocale scoped(locale);
                EXPECT_EQ(run.ConvertValues(line) ? "true" : "false", row[2]) << locale << " " << row.where;
            }
            test::ScopedLocale point(test::kPointLocale);
            EXPECT_THAT(clsFileParser().WriteRunBlock(run), testing::HasSubstr(row[3] + "\r\n")) << locale << " " << row.where;
        }
    }
}

TEST(UpgradeFolder, UsesTheFirstChoiceOrFallsBackToTheUsersOwnFolder) {
    test::TempDir dir;
    EXPECT_EQ(UpgradeFolder::Acquire(dir.path().string())->File("a.tmp"), (dir.path() / "a.tmp").string());
    const auto fallback = UpgradeFolder::Acquire((dir.path() / "missing").string());
    EXPECT_EQ(fallback->Path(), platform::UserTempFolder());
#ifndef _WIN32
    EXPECT_EQ(fs::status(fallback->Path()).permissions() & (fs::perms::group_write | fs::perms::others_write),
              fs::perms::none);
#endif
}

#ifndef _WIN32
// An installed tool must not write its working files among the system's programs.
TEST(UpgradeFolder, SystemProgramTreeIsNeverTheWorkFolder) {
    for (const auto& row : test::DataRows("upgrade/data/system-folders.txt"))
        EXPECT_EQ(platform::InSystemProgramTree(row[0]) ? "true" : "false", row[1]) << row.where;
}

// Another process waits for the folder until this one lets it go.
TEST(UpgradeFolder, LockKeepsOtherProcessesOut) {
    test::TempDir dir;
    const auto marker = dir.path() / "child-got-it";
    auto folder = UpgradeFolder::Acquire(dir.path().string());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only the file lock: the child's copy of the in-process gate is taken.
        auto lock = platform::FileLock::Acquire(folder->File("_kvr_temp_tmp_28214855245.lock"));
        std::ofstream(marker) << "x";
        ::_exit(lock ? 0 : 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(marker));
    folder.reset();
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && fs::exists(marker));
}
#endif

}  // namespace
}  // namespace orv::upgrade
