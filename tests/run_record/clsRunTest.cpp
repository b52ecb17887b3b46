#include "legacy_file/clsFileParser.h"
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

// The names of categories and error types are rows of the RUN-line table
// (tests/legacy_file/data/run-block-lines.txt).
TEST(clsRunTest, DerivedValuesFollowTheSettings) {
    const std::map<std::string, std::function<std::string(clsRun&, const std::string&)>> values = {
        {"FactorLargura", [](clsRun& r, const std::string&) { return std::to_string(r.FactorLargura()); }},
        {"TamanhoGene", [](clsRun& r, const std::string&) { return std::to_string(r.TamanhoGene()); }},
        {"TamanhoCromossoma", [](clsRun& r, const std::string&) { return std::to_string(r.TamanhoCromossoma()); }},
        {"Kexpression", [](clsRun& r, const std::string&) { return r.Kexpression(); }},
        {"MaxFitnessRun", [](clsRun& r, const std::string&) { return std::to_string(r.MaxFitnessRun()); }},
        {"Separador_toString", [](clsRun& r, const std::string&) { return r.Separador_toString(); }},
        {"FunctionSetValid", [](clsRun& r, const std::string&) {
             const bool valid = r.FunctionSet_ValidaParaFormulaActual();
             EXPECT_EQ(r.ValidarUmaFunctionSet(r.FunctionSet()), valid);
             return valid ? "true" : "false";
         }},
        {"ISCopy", [](clsRun& r, const std::string& size) {
             std::vector<Long> out(std::stoul(size), 77);
             std::string text, error;
             try {
                 r.ISTransp_GetArray(out);
             } catch (const ComError& e) {
                 error = " !" + std::to_string(e.Number());
             }
             for (const Long v : out) text += (text.empty() ? "" : " ") + std::to_string(v);
             return text + error;
         }},
    };
    for (const auto& row : test::DataRows("run_record/data/derived.txt")) {
        clsRun run;
        std::size_t i = 0;
        for (; row[i][0] != '='; i += 2) clsFileParser().PreencherRun(row[i], row[i + 1], run);
        std::string got;
        try {
            const std::size_t space = std::min(row[i].find(' '), row[i].size());
            got = values.at(row[i].substr(1, space - 1))(run, row[i].substr(space));
        } catch (const ComError& e) {
            got = "!" + std::to_string(e.Number());
        }
        EXPECT_EQ(got, row[i + 1]) << row.where;
    }
    clsRun run;
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

}  // namespace
}  // namespace orv
