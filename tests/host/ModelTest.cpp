// The best model computed: the evaluator against values worked out by hand,
// and the generated C and Python, compiled and run, against the evaluator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "adapter/V2Adapter.h"
#include "host/ModelCode.h"
#include "host/ModelEvaluator.h"
#include "host/ReferenceHost.h"
#include "run_record/clsRun.h"
#include "support/TestSupport.h"

namespace orv::refhost {
namespace {

double Eval(const std::string& karva, const std::string& linking, const std::vector<double>& row) {
    return EvaluateModel(DecodeModel(karva, linking), row);
}

TEST(Evaluator, ComputesModelsAsWorkedOutByHand) {
    struct Case { std::string karva, linking; std::vector<double> row; double expected; };
    const std::vector<Case> cases = {
        {"+d0d1", "+", {2, 3}, 5},
        {"-*d0d1d2", "+", {2, 3, 4}, 12 - 2},          // breadth-first: (d1*d2)-d0
        {"Qd2d1d0", "+", {1, 2, 16}, 4},               // one argument; the tail is left unused
        {"+d0d1 * /d1d0", "*", {2, 4}, 6 * 2.0},
        {"d1 + d0 + d1", "+", {1, 10}, 21},
        {"/Ed0G d0d1", "+", {2, 4}, std::exp(3.0) / 2},  // spaces inside a gene are no symbols
        {"<d0d1 + >d0d1", "+", {1, 2}, 1},
        {"Md0-d1d0", "+", {3, 10}, 7},
        {"^d0d1", "+", {2, 10}, 1024},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(Eval(c.karva, c.linking, c.row), c.expected) << c.karva;
    EXPECT_TRUE(std::isinf(Eval("/d0d1", "+", {1, 0})));  // computes as C does, without an error
}

TEST(Evaluator, RaisesWhatItCannotCompute) {
    struct Case { std::string karva; std::int32_t number; const char* description; };
    const std::vector<Case> cases = {
        {"+d0Xd1d0", 5006, "Invalid character: X"},
        {"+d0", 9, nullptr},
        {"+dd0", 13, "Type mismatch"},
        {"+d0d2", 9, nullptr},  // the row holds two variables
        {"", 5, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.karva);
        EXPECT_COM_ERROR(Eval(c.karva, "+", {1, 2}), c.number, c.description);
        if (c.karva.empty()) continue;
        EXPECT_COM_ERROR(ModelCode(DecodeModel(c.karva, "+"), "python", {"run", {"a", "b"}, "y"}), c.number, c.description);
    }
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

// Writes each program to a file of its own and answers the path.
std::vector<std::string> WritePrograms(const test::TempDir& dir, const std::vector<std::string>& programs,
                                       const std::string& extension) {
    std::vector<std::string> files;
    for (std::size_t i = 0; i < programs.size(); ++i)
        files.push_back(dir.Write("m" + std::to_string(i) + extension, programs[i]).string());
    return files;
}

std::string RowsText(const std::vector<std::vector<double>>& rows, const char* open, const char* close) {
    std::ostringstream s;
    s.precision(17);
    for (const auto& row : rows) {
        s << open;
        for (double v : row) s << v << ", ";
        s << close << ",\n";
    }
    return s.str();
}

std::vector<double> RunAndRead(const test::TempDir& dir, const std::string& command) {
    const auto out = dir.path() / "out.txt";
    EXPECT_EQ(std::system((command + " > '" + out.string() + "'").c_str()), 0) << command;
    std::vector<double> values;
    std::istringstream in(test::ReadAll(out));
    for (std::string line; std::getline(in, line);) values.push_back(std::strtod(line.c_str(), nullptr));
    return values;
}

// Every program on every row, program after program.
std::vector<double> RunC(const std::vector<std::string>& programs, const std::vector<std::vector<double>>& rows) {
    test::TempDir dir;
    const auto files = WritePrograms(dir, programs, ".c");
    std::string driver = "#include <stdio.h>\n";
    for (std::size_t i = 0; i < files.size(); ++i)
        driver += "#define model model" + std::to_string(i) + "\n#include \"" + files[i] + "\"\n#undef model\n";
    driver += "static const double rows[][8] = {\n" + RowsText(rows, "{", "}") + "};\nint main(void) {\n";
    for (std::size_t i = 0; i < files.size(); ++i)
        driver += "  for (unsigned r = 0; r < sizeof rows / sizeof rows[0]; ++r) printf(\"%.17g\\n\", model" +
                  std::to_string(i) + "(rows[r]));\n";
    driver += "  return 0;\n}\n";
    const auto source = dir.Write("driver.c", driver), binary = dir.path() / "driver";
    return RunAndRead(dir, "cc -std=c99 -Wall -Werror -o '" + binary.string() + "' '" + source.string() + "' -lm && '" +
                               binary.string() + "'");
}

std::vector<double> RunPython(const std::vector<std::string>& programs, const std::vector<std::vector<double>>& rows) {
    test::TempDir dir;
    WritePrograms(dir, programs, ".py");
    const auto script = dir.Write("driver.py", "import sys\nrows = [\n" + RowsText(rows, "[", "]") +
                                                   "]\nfor path in sys.argv[1:]:\n    ns = {}\n"
                                                   "    exec(open(path).read(), ns)\n"
                                                   "    for row in rows:\n        print(repr(ns['model'](row)))\n");
    std::string command = "/usr/bin/python3 '" + script.string() + "'";
    for (std::size_t i = 0; i < programs.size(); ++i) command += " '" + (dir.path() / ("m" + std::to_string(i) + ".py")).string() + "'";
    return RunAndRead(dir, command);
}

// Each catalogue function alone, models of several genes, and the bundled
// regression example's model on its own training records.
TEST(ModelCode, GeneratedProgramsComputeWhatTheEvaluatorComputes) {
    std::vector<ModelTree> models;
    for (const auto& f : NativeFunctions())
        models.push_back(DecodeModel(std::string(1, f.symbol) + "d2d1d0", "+"));
    models.push_back(DecodeModel("+d0d1 * -d2d0 * Qd1", "*"));
    models.push_back(DecodeModel("/*d0d1+d2d0 + d1", "+"));

    ReferenceHost host;
    auto run = host.CreateRun();
    V2Adapter(host).Convert((test::ExamplesDir() / "regression.kvr").string(), run);
    const clsRun record = V2Adapter::LoadForConversion((test::ExamplesDir() / "regression.kvr").string());
    models.push_back(DecodeModel(record.Karva(), record.LinkingFunction()));

    std::vector<std::vector<double>> rows = {{0.5, 2, 3}, {1.5, 0.25, 4}, {7, 7, 0.125}};
    for (std::size_t r = 0; r < run->Data(1).RecordCount(); ++r) rows.push_back(run->Data(1).Record(r));

    std::vector<double> expected;
    std::vector<std::string> c, python;
    for (const auto& model : models) {
        for (const auto& row : rows) expected.push_back(EvaluateModel(model, std::span(row).first(3)));
        c.push_back(ModelCode(model, "c", {"demo", {"a", "b", "c"}, "y"}));
        python.push_back(ModelCode(model, "python", {"demo", {"a", "b", "c"}, "y"}));
    }
    for (const auto& [language, outputs] : {std::pair{"c", RunC(c, rows)}, std::pair{"python", RunPython(python, rows)}}) {
        ASSERT_EQ(outputs.size(), expected.size()) << language;
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_DOUBLE_EQ(outputs[i], expected[i]) << language << ", model " << i / rows.size() << ", row " << i % rows.size();
    }
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
