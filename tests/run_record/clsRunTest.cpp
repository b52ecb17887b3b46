#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "run_record/clsRun.h"
#include "support/TestSupport.h"

namespace orv {
namespace {

TEST(clsRunTest, FreshRecordAndNovoDefaults) {
    clsRun run;
    EXPECT_EQ(run.Category_toString() + run.LinkingFunction() + run.ErrorType_toString() + run.Separador_toString(),
              "FunctionFinding+Relative ");
    EXPECT_EQ(run.FunctionSet() + run.ISElements(), "0@0@0@0@0@0@0@0@0@0");

    run.LinkingFunction("*");
    run.Separador(2);
    run.Novo();
    EXPECT_EQ(std::make_tuple(run.TamanhoGene(), run.TamanhoCromossoma(), run.NumeroResultadosExp(), run.StopConditionIndex()),
              std::make_tuple(17, 51, 10, 3));
    EXPECT_EQ(run.FunctionSet() + run.LinkingFunction() + std::to_string(run.ShowInteractive()) + std::to_string(run.Separador()),
              "+-*/+12");  // the separator left alone
    EXPECT_EQ(run.ArrayGops(), (std::array<Double, 6>{0.044, 0.1, 0.1, 0.3, 0.3, 0.0}));
}

// The derived values are rows of the RUN-line table (TRNMAXFIT, TESTMAXFIT);
// no written line shows this overflow.
TEST(clsRunTest, MaxFitnessIsDerivedFromErrorTypeAndRecordCounts) {
    clsRun huge;
    huge.SelectionRange(1e308);
    huge.NumeroResultadosExp(10);
    EXPECT_COM_ERROR(huge.MaxFitnessRun(), err::kOverflow, nullptr);
}

// The names of categories and error types are rows of the RUN-line table
// (tests/legacy_file/data/run-block-lines.txt); the separators have no tag.
TEST(clsRunTest, SeparatorNames) {
    clsRun run;
    const std::pair<Long, const char*> separators[] = {{0, " "}, {1, ";"}, {2, "\t"}, {3, ","}, {7, ""}, {-1, ""}};
    for (const auto& [code, text] : separators) {
        run.Separador(code);
        EXPECT_EQ(run.Separador_toString(), text) << code;
    }
    run.Category(5);
    EXPECT_EQ(run.Category_toString(), "");
}

// The linking function's refusals are rows of the RUN-line table.
TEST(clsRunTest, ValidatingSettersKeepThePreviousCode) {
    clsRun run;
    run.ErrorType(2);
    for (Long bad : {4, -1}) EXPECT_COM_ERROR(run.ErrorType(bad), 2001, "Invalid Error type.");
    EXPECT_EQ(run.ErrorType(), 2);
    run.Genes(1);
    EXPECT_COM_ERROR(run.LinkingFunction("x"), 1001, "Invalid Linking Function - 0");
    run.LinkingFunction("*");
    EXPECT_COM_ERROR(run.LinkingFunction("-"), 1001, "Invalid Linking Function - 1");
}

TEST(clsRunTest, AuthorAndCommentsAreHeldEscaped) {
    const std::string plain = "a<b>\\c\"\r\n";
    clsRun run;
    run.Author(plain);
    EXPECT_EQ(run.Author_Serialize(), "a &lt b &gt  &sl c &asp  &crlf ");
    EXPECT_EQ(run.Author(), plain);
    run.Comments(run.Author_Serialize());  // already escaped text is stored unchanged
    EXPECT_EQ(run.Comments_Serialize(), run.Author_Serialize());
    run.Author("x &lt y");
    EXPECT_EQ(run.Author(), "x<y");
    run.Comments("one\ntwo\rthree");
    EXPECT_EQ(run.Comments_Serialize(), "one\ntwo\rthree");
}

TEST(clsRunTest, ChromosomeSizesWithOverflow) {
    const std::tuple<const char*, Long, Long, Long, Long> cases[] = {
        {"+-*/", 8, 3, 17, 51}, {"+", 7, 4, 15, 60}, {"", 9, 4, 1, 4}, {"", -5, 6, 1, 6}};
    clsRun run;
    for (const auto& [set, head, genes, gene, chromosome] : cases) {
        run.FunctionSet(set);
        run.Head(head);
        run.Genes(genes);
        EXPECT_EQ(run.FactorLargura(), *set ? 2 : 0);
        EXPECT_EQ(run.TamanhoGene(), gene);
        EXPECT_EQ(run.TamanhoCromossoma(), chromosome);
    }
    run.FunctionSet("+");
    for (const Long head : {1'500'000'000, 2'147'483'647}) {  // head plus tail, then the tail alone
        run.Head(head);
        EXPECT_COM_ERROR(run.TamanhoGene(), err::kOverflow, nullptr);
    }
    run.Head(1'000'000);
    run.Genes(2'000);
    EXPECT_COM_ERROR(run.TamanhoCromossoma(), err::kOverflow, nullptr);
}

TEST(clsRunTest, KexpressionAndFunctionSetCheck) {
    const std::pair<const char*, const char*> karvas[] = {
        {"+d0d1 + *d1d0", "+d0d1*d1d0"}, {"  -d0d1  ", "-d0d1"}, {"+d0d1 * -d1d0 + d0", "+d0d1 * -d1d0d0"},
        {"*d0 * d1", "*d0d1"},           {"", ""},
    };
    clsRun run;
    for (const auto& [karva, expected] : karvas) {
        run.Karva(karva);
        EXPECT_EQ(run.Kexpression(), expected) << karva;
    }
    const std::tuple<const char*, const char*, bool> checks[] = {
        {"+d0d1 + *d1d0", "+-", false}, {"+d0d1 + *d1d0", "+*", true}, {"*d0d1", "+", false}, {"*d0d1", "*", true},
        {"d3", "", true},               {"+d0d1 * -d1d0 + d0", "+*-", false},  // the space left over is no function
        {"+D0d1", "+", false},
    };
    for (const auto& [karva, set, ok] : checks) {
        run.Karva(karva);
        EXPECT_EQ(run.ValidarUmaFunctionSet(set), ok) << karva << " / " << set;
        run.FunctionSet(set);
        EXPECT_EQ(run.FunctionSet_ValidaParaFormulaActual(), ok);
    }
}

// The text forms of the lists are rows of the RUN-line table; here the
// eleventh entry, which only the copy shows.
TEST(clsRunTest, ElementListKeepsAnEleventhEntry) {
    clsRun run;
    run.RISElements("1@2@3@4@5@6@7@8@9@10@11");
    run.RISElements("5");
    EXPECT_EQ(run.RISElementValues()[10], 11);
    EXPECT_COM_ERROR(run.RISElements("1@2@3@4@5@6@7@8@9@10@12@13"), err::kSubscriptOutOfRange, nullptr);
    EXPECT_EQ(run.RISElementValues()[10], 12);
}

TEST(clsRunTest, ElementListCopyFollowsTheCount) {
    clsRun run;
    run.ISElements("1@2@3@4@5@6@7@8@9@10@11");
    const std::tuple<Long, std::size_t, bool, std::vector<Long>> cases[] = {
        {-1, 11, false, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 77}},
        {2, 11, false, {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 77}},
        {10, 10, true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},              // caller's array too short
        {11, 12, true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 77}},      // the list ends at 10
        {0, 9, true, {77, 77, 77, 77, 77, 77, 77, 77, 77}},           // indexes 0 to 9 missing
    };
    for (const auto& [count, size, fails, expected] : cases) {
        run.NumISElem(count);
        std::vector<Long> out(size, 77);
        if (fails) {
            EXPECT_COM_ERROR(run.ISTransp_GetArray(out), err::kSubscriptOutOfRange, nullptr);
        } else {
            run.ISTransp_GetArray(out);
        }
        EXPECT_EQ(out, expected) << count << " into " << size;
    }
}

}  // namespace
}  // namespace orv
