// Every file of the hostile corpus through `orvconvert convert`, each in its
// own process: the outcome in the table, the file left as it was, and the
// budget of memory (peak resident size) and processor time kept.
// ORV_HOSTILE_REPORT=1 prints each file's outcome, size, peak and time.

#include <cstdio>

#include "cli/CliRun.h"
#include "hostile/HostileCorpus.h"

namespace orv {
namespace {

// A file under 64 KB converts or fails within 64 MB and one second; a larger
// one within 64 MB plus three times its size.
void ExpectWithinBudget(const test::ChildRun& child, std::uintmax_t bytes) {
#if defined(ORV_UNDER_SANITIZERS)
    (void)child, (void)bytes;  // shadow memory and slow code say nothing about the product
#else
    constexpr std::uintmax_t kSmall = 64 * 1024;
    const double budget = 64.0 + (bytes < kSmall ? 0.0 : 3.0 * static_cast<double>(bytes) / (1024.0 * 1024.0));
    EXPECT_LE(child.megabytes, budget) << "peak MB";
    if (bytes < kSmall) {
        EXPECT_LE(child.seconds, 1.0) << "processor seconds";
    }
#endif
}

TEST(HostileCorpus, EveryFileHasItsOutcomeWithinTheBudget) {
    const fs::path corpus = test::ExamplesDir().parent_path() / "tests" / "hostile";
    const auto cases = hostile::ReadCases(corpus / "outcomes.txt");
    ASSERT_GE(cases.size(), 60u);
    test::TempDir scratch;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = hostile::Materialise(c, corpus / "corpus", scratch.path());
        std::size_t size = 0, before = 0;
        {  // not kept: the child starts with our resident pages
            const std::string bytes = test::ReadAll(file);
            size = bytes.size();
            before = std::hash<std::string>{}(bytes);
        }
        const test::ChildRun child =
            test::RunInChild(ORV_CLI_BINARY, {"convert", file.string(), "-o", "/dev/null"}, scratch.path() / "stderr");
        EXPECT_EQ(child.error, c.error) << child.stderrText;
        EXPECT_EQ(std::hash<std::string>{}(test::ReadAll(file)), before) << "the run file was changed";
        ExpectWithinBudget(child, size);
        if (getenv("ORV_HOSTILE_REPORT"))
            std::printf("%-45s %6d %9zu B %5.1f MB %4.2f s\n", c.name.c_str(), child.error, size, child.megabytes,
                        child.seconds);
        if (c.repeat) fs::remove(file);
    }
}

}  // namespace
}  // namespace orv
