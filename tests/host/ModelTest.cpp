// The best model computed: the evaluator against values worked out by hand,
// and the generated programs, compiled or run, against the evaluator.

#include <cstring>
#include <random>

#include "adapter/V2Adapter.h"
#include "common/Conversions.h"
#include "host/Formula.h"
#include "host/ModelCode.h"
#include "host/ModelEvaluator.h"
#include "host/ReferenceHost.h"
#include "run_record/clsRun.h"
#include "support/TestSupport.h"

namespace orv::refhost {
namespace {

// The rows of models.txt, each decoded into its formula and computed.
TEST(Evaluator, ComputesAndWritesTheModelsOfTheTable) {
    for (const auto& f : test::DataRows("host/models.txt")) {
        SCOPED_TRACE(f.where);
        std::vector<double> row;
        std::istringstream values(f[2]);
        for (std::string v; values >> v;) row.push_back(std::stod(v));
        EXPECT_EQ(KarvaToFormula(f[0], f[1]), f[4]);
        if (!f[3].starts_with("error ")) {
            EXPECT_DOUBLE_EQ(EvaluateModel(DecodeModel(f[0], f[1]), row), std::stod(f[3]));
            continue;
        }
        const auto colon = f[3].find(": ");
        const char* description = colon == std::string::npos ? nullptr : f[3].c_str() + colon + 2;
        EXPECT_COM_ERROR(EvaluateModel(DecodeModel(f[0], f[1]), row), std::stoi(f[3].substr(6)), description);
        EXPECT_COM_ERROR(ModelCode(DecodeModel(f[0], f[1]), "python", {"run", {"a", "b"}, "y"}), std::stoi(f[3].substr(6)),
                         description);
    }
    EXPECT_EQ(KarvaToFormula("^d0d1", "+", {"x", "y"}), "(x^y)");
}

TEST(Formula, DeepGenesDoNotExhaustTheStack) {
    std::string gene;  // each "+" takes a terminal and the next "+": one long chain
    for (int i = 0; i < 200000; ++i) gene += "+d";
    gene += "d";
    EXPECT_EQ(KarvaToFormula(gene, "+").size(), 200000 * 3 + 200001 * 1 + 0u);
}

TEST(Evaluator, RSquareIsTheSquaredCorrelation) {
    const double nan = std::nan("");
    EXPECT_DOUBLE_EQ(*RSquare(std::vector<double>{1, 2, 3}, std::vector<double>{1, 3, 2}), 0.25);
    EXPECT_DOUBLE_EQ(*RSquare(std::vector<double>{1, 2, 3}, std::vector<double>{-5, -7, -9}), 1);
    using Rows = std::vector<double>;
    for (const auto& [targets, outputs] : std::vector<std::pair<Rows, Rows>>{
             {{1, 2, 3}, {4, 4, 4}}, {{1, 2, 3}, {1, nan, 2}}, {{5, 5, 5}, {1, 2, 3}}, {{1}, {2}}})
        EXPECT_FALSE(RSquare(targets, outputs).has_value());
}

// The batch program against the record-by-record evaluator, bit for bit,
// for every catalogue function, both linking functions and rows that make
// infinities and NaNs; what the evaluator refuses, the program leaves to it.
TEST(Evaluator, ProgramComputesBatchesAsTheEvaluatorDoes) {
    std::vector<std::string> karvas = {"+*d0d1Qd2 * -d2/d0d1", "Ed0 + Ld1 + Sd2"};
    for (const auto& f : NativeFunctions()) karvas.push_back(std::string(1, f.symbol) + "d0d1");
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-3, 3);
    std::vector<double> rows(3 * ModelProgram::kBatch);
    for (auto& v : rows) v = std::round(value(random) * 4) / 4;  // zeros and equal pairs among them
    std::vector<double> columns(rows.size());
    for (std::size_t i = 0; i < ModelProgram::kBatch; ++i)
        for (std::size_t v = 0; v < 3; ++v) columns[v * ModelProgram::kBatch + i] = rows[i * 3 + v];
    const std::vector<const double*> starts{columns.data(), columns.data() + ModelProgram::kBatch,
                                            columns.data() + 2 * ModelProgram::kBatch};
    for (const auto& karva : karvas) {
        for (const char* linking : {"+", "*"}) {
            SCOPED_TRACE(karva + linking);
            const ModelTree model = DecodeModel(karva, linking);
            ModelProgram program(model);
            std::vector<double> out(ModelProgram::kBatch);
            ASSERT_TRUE(program.Run(starts, out.size(), out.data()));
            for (std::size_t i = 0; i < out.size(); ++i) {
                const double expected = EvaluateModel(model, std::span<const double>(rows).subspan(i * 3, 3));
                EXPECT_TRUE(std::memcmp(&out[i], &expected, sizeof expected) == 0 ||
                            (std::isnan(out[i]) && std::isnan(expected)))
                    << i << ": " << out[i] << " " << expected;
            }
        }
    }
    double out[1];
    for (const char* karva : {"+d0Xd1d0", "+d0", "+dd0", "+d0d3", ""})
        EXPECT_FALSE(ModelProgram(DecodeModel(karva, "+")).Run(starts, 1, out)) << karva;
}

// R-square summed a few rows at a time is R-square of all the rows, to the
// last bit, however the rows are fed; the recomputation from a data text is
// R-square of the data set a conversion loads from the same text.
TEST(Evaluator, RSquareFromPiecesAndFromTextsIsTheWholeOnes) {
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0, 1);
    std::vector<double> targets(1000), outputs(1000);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        targets[i] = 1e6 + noise(random);
        outputs[i] = targets[i] * 0.5 + noise(random);
    }
    for (const std::size_t step : {1u, 7u, 300u, 1000u}) {
        RSquareSum sum;
        for (std::size_t i = 0; i < targets.size(); i += step) {
            const std::size_t n = std::min(step, targets.size() - i);
            sum.Add(std::span<const double>(targets).subspan(i, n), std::span<const double>(outputs).subspan(i, n));
        }
        EXPECT_EQ(sum.Value(), RSquare(targets, outputs)) << step;
    }

    // About ten megabytes: more pieces than the two threads take at once.
    test::ScopedLocale locale(test::kPointLocale);
    std::string text;
    for (std::size_t i = 0; i < 600000; ++i) {
        text += std::to_string(i % 97) + "." + std::to_string(i % 13) + ";" + std::to_string(i % 89) + ";" +
                std::to_string((i * 7) % 101) + ".25" + (i % 15000 == 0 ? "\r\n \t\r\n" : "\r\n");
    }
    const ModelTree model = DecodeModel("+*d0d1Qd1", "+");
    test::TempDir dir;
    DataSet data;
    data.LoadFromFile(dir.Write("d.txt", "a;b;y\r\n" + text).string(), 3, true, 1);
    const Fit fit = FitOn(model, data);
    std::size_t records = 0;
    EXPECT_EQ(RSquareOnText(model, text, true, "a;b;y", ";", ".", records), RSquare(fit.targets, fit.outputs));
    EXPECT_EQ(records, data.RecordCount());

    // The reading's errors come before the computation's, wherever they lie;
    // lines are counted as in the data set's file, names line first.
    const std::string shortRow = "1\r\n" + text;
    EXPECT_COM_ERROR(RSquareOnText(model, shortRow, true, "a;b;y", ";", ".", records), 9, nullptr);
    const std::string notANumber = "Line " + std::to_string(data.RecordCount() + 40 + 3) + ", field 2: 'x' is not a number";
    EXPECT_COM_ERROR(RSquareOnText(model, shortRow + "4;x;5\r\n", true, "a;b;y", ";", ".", records), 13,
                     notANumber.c_str());
}

const ModelCodeContext kContext{"demo", {"a", "b", "c", "d"}, "y"};

// Each catalogue function alone and models of several genes, in each
// language: model-code.txt holds the programs as they were when each ran on
// rows of values and gave what the evaluator gives.
TEST(ModelCode, GeneratedProgramsAreTheCheckedOnes) {
    std::vector<std::pair<std::string, const char*>> models = {{"+d0d1 * -d2d0 * Qd1", "*"}, {"/*d0d1+d2d0 + d1", "+"}};
    for (const auto& f : NativeFunctions()) models.push_back({std::string(1, f.symbol) + "d2d1d0", "+"});
    std::string programs;
    for (const char* language : {"c", "python", "javascript"})
        for (const auto& [karva, linking] : models)
            programs += std::string("==== ") + language + " " + karva + " " + linking + "\n" +
                        ModelCode(DecodeModel(karva, linking), language, kContext);
    test::ExpectGolden(std::filesystem::path(ORV_SOURCE_DIR) / "tests/host/model-code.txt", programs);
}

TEST(ModelCode, SpreadsheetFormulaReadsTheExportedColumns) {
    std::string karva = "*d0d1 * Qd27";
    EXPECT_EQ(ModelCode(DecodeModel(karva, "*"), "spreadsheet", {"r", std::vector<std::string>(28, "v"), "y"}),
              "=((A2*B2)*SQRT(AB2))\n");
    EXPECT_COM_ERROR(ModelCode(DecodeModel(karva, "*"), "cobol", {}), 5, nullptr);
}

TEST(ModelCode, RunTextsCannotBreakOutOfComments) {
    const std::string code = ModelCode(DecodeModel("d0", "+"), "c", {"a\r\nb {expression}", {"x\\"}, "y\n"});
    EXPECT_NE(code.find("// Best model of the run \"a  b {expression}\": y  from"), std::string::npos) << code;
    EXPECT_NE(code.find("//   d[0] = \"x\\\"\n"), std::string::npos) << code;
}

}  // namespace
}  // namespace orv::refhost
