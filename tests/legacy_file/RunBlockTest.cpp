#include <gmock/gmock.h>

#include "legacy_file/clsFileParser.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "common/Conversions.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

using test::ScopedLocale;
using test::TempDir;

TEST(PreencherRun, AppliesTheLinesInOrder) {
    for (const char* locale : {test::kPointLocale, test::kCommaLocale}) {
        for (const auto& row : test::DataRows("legacy_file/data/run-block-lines.txt")) {
            clsRun run;
            std::string outcome;
            {
                ScopedLocale scoped(locale);
                try {
                    for (std::size_t i = 0; i + 1 < row.fields.size(); i += 2) clsFileParser().PreencherRun(row[i], row[i + 1], run);
                } catch (const ComError& e) {
                    outcome = "!" + std::to_string(e.Number()) + " ";
                }
            }
            ScopedLocale point(test::kPointLocale);
            const std::string& expected = row.fields.back();
            EXPECT_EQ(outcome, expected[0] == '!' ? expected.substr(0, expected.find(' ') + 1) : "") << locale << " " << row.where;
            EXPECT_THAT(clsFileParser().WriteRunBlock(run), testing::HasSubstr(expected.substr(outcome.size()) + "\r\n"))
                << locale << " " << row.where;
        }
    }
    clsRun run;  // the letters of the comparison functions in old files
    clsFileParser().PreencherRun("FUNCSET", "+-*/wW", run);
    EXPECT_EQ(run.FunctionSet(), "+-*/<>");
}

// A run with every setting of the RUN block away from its default.
clsRun FullRun() {
    clsRun r;
    r.Geracoes(1234), r.Cromossomas(77), r.FunctionSet("+-*/<>Q"), r.Genes(4), r.Head(9);
    r.LinkingFunction("*"), r.Category_fromString("Classification"), r.ErrorType_fromString("Rsquare");
    r.Precision(0.001), r.SelectionRange(123.456789012345), r.ClassThreshold(0.75), r.NumeroTerminais(5);
    r.NumeroResultadosExp(300), r.TrainingNumeroValoresFicheiro(310), r.NumeroResultadosValidar(40);
    r.Mutation(0.044), r.OnePointRec(1.0 / 3), r.TwoPointRec(2e-7), r.GeneRec(0.1), r.GeneTransp(0.2);
    r.ISTranspRate(0.15), r.NumISElem(3), r.ISElements("1@2@3"), r.RISTranspRate(0.25), r.NumRISElem(2);
    r.RISElements("4@5"), r.TrainPathFile("C:\\d\\train.txt"), r.ValPathFile("C:\\d\\test.txt"), r.Separador(2);
    r.StopConditionIndex(2), r.StopConditionValue(-1.5e21), r.ShowInteractive(false), r.ShowFullErrors(true);
    r.FieldNames("x\ty"), r.FieldNamesExistem(true), r.Karva("<d0d1 * >d1d0"), r.BestFitnessRun(987.654321);
    r.rsQuareRun(std::nan("")), r.BestFitnessVal(12.5), r.RsquareVal(0.5), r.EvolveHistory("0;1@5;2,5");
    r.Author("A \"B\" <c>\r\nd\\e"), r.Comments("line 1\r\nline 2 \xe9"), r.LastSaved("old date");
    r.Key("My run > 1"), r.TrainValues("1.5\t2\r\n3\t4.25"), r.ValidationValues("7\t8");
    return r;
}

class RoundTrip : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(RoundTrip, GivesEveryTaggedPropertyBack) {
    const auto [writeLocale, readLocale] = GetParam();
    TempDir dir;
    clsRun saved = FullRun();
    std::string saveDate;
    {
        ScopedLocale scoped(writeLocale);
        ASSERT_TRUE(clsFileParser().SaveKvr((dir.path() / "run").string(), saved));
        saveDate = platform::TodayShortDate();
    }
    ScopedLocale scoped(readLocale);
    clsRun loaded;
    ASSERT_TRUE(clsFileParser().LoadFile((dir.path() / "run.kvr").string(), loaded));
    // Each row rendered as the writer renders it, in one locale, is the same
    // for both records; only the save date replaces the record's own.
    // An undefined R-square comes back as legacy files give it.
    saved.rsQuareRun(-1);
    EXPECT_EQ(clsFileParser().WriteRunBlock(loaded), clsFileParser().WriteRunBlock(saved));
    const std::string mark = v2LocaleSettings::DecimalSeparator();
    EXPECT_EQ(loaded.LastSaved() + "|" + loaded.Key() + "|" + loaded.TrainValues() + "|" + loaded.ValidationValues(),
              saveDate + "|" + saved.Key() + "|" + ReplaceAll(saved.TrainValues(), ".", mark) + "|" + saved.ValidationValues());
}

INSTANTIATE_TEST_SUITE_P(Locales, RoundTrip,
                         testing::Values(std::pair{test::kPointLocale, test::kPointLocale},
                                         std::pair{test::kCommaLocale, test::kCommaLocale},
                                         std::pair{test::kCommaLocale, test::kPointLocale},
                                         std::pair{test::kPointLocale, test::kCommaLocale}));

TEST(SaveKvr, RewritesAHandWrittenRunLineForLine) {
    ScopedLocale scoped(test::kPointLocale);
    TempDir dir;
    const auto example = (test::HandWrittenDir() / "regression.kvr").string();
    clsRun run;
    clsFileParser().LoadFile(example, run);
    clsFileParser().SaveKvr((dir.path() / "copy.kvr").string(), run);
    const std::string expected = ReplaceAll(test::ReadAll(example), "<LASTSAVED>14/03/2005</LASTSAVED>",
                                            "<LASTSAVED>" + platform::TodayShortDate() + "</LASTSAVED>");
    EXPECT_EQ(test::ReadAll(dir.path() / "copy.kvr"), expected);
}

TEST(SaveKvr, EmptyBlocksAndTheExtensionRule) {
    const std::pair<const char*, const char*> cases[] = {{"run", "run.kvr"}, {"run.kvr", "run.kvr"}, {".kvr", ".kvr.kvr"}, {"abc", "abc.kvr"}, {"a.kv", "a.kv.kvr"},
                 {"run.KVR", "run.KVR.kvr"}, {"run.kvr.txt", "run.kvr.txt.kvr"}};
    TempDir dir;
    // Bare names, so that the short ones are really short.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    clsRun run;
    run.Key("k");
    for (const auto& [name, file] : cases) {
        ASSERT_TRUE(clsFileParser().SaveKvr(name, run));
        EXPECT_NE(test::ReadAll(dir.path() / file).find("</RUN>\r\n<VALUES>\r\n\r\n<TRAIN>\r\n</TRAIN>\r\n<TEST>\r\n</TEST>\r\n</VALUES>\r\n</ORV>\r\n"),
                  std::string::npos)
            << name;
    }
    std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace orv
