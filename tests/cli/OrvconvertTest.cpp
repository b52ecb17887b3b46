#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <sstream>
#include <sys/wait.h>

#include "support/TestSupport.h"

namespace orv {
namespace {

using test::TempDir;

struct Result {
    int status;
    std::string out, err;
};

std::string Quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// Runs orvconvert with the arguments (already quoted for the shell).
Result Orvconvert(const std::string& args) {
    TempDir dir;
    const auto out = dir.path() / "out", err = dir.path() / "err";
    const int raw = std::system((ORV_CLI_BINARY " " + args + " >" + Quoted(out) + " 2>" + Quoted(err)).c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::ReadAll(out), test::ReadAll(err)};
}

TEST(Record, PrintsEveryBundledExample) {
    const struct {
        const char* file;
        const char* key;
        const char* author;
        const char* functionSet;
    } cases[] = {
        {"regression.kvr", "Pump efficiency", "Jos\xc3\xa9 Martins <jmartins@hydro.example>", "+-*/QE"},
        {"classification.kvr", "Credit screening", "R. Almeida", "+-*/<>"},
        {"no-test-data.kvr", "Beam deflection", "M\xc3\xbcller, Kai", "+-*/"},
    };
    for (const auto& c : cases) {
        const Result r = Orvconvert("record " + Quoted(test::ExamplesDir() / c.file));
        ASSERT_EQ(r.status, 0) << c.file << ": " << r.err;
        const auto j = nlohmann::json::parse(r.out);
        EXPECT_EQ(j["Key"], c.key);
        EXPECT_EQ(j["Author"], c.author);
        EXPECT_EQ(j["FunctionSet"], c.functionSet);
        EXPECT_EQ(j["GravadoEmVersaoAnterior"], false);
        EXPECT_TRUE(j["Geracoes"].is_number_integer() && j["Mutation"].is_number_float() && j["ShowInteractive"].is_boolean());
    }
}

TEST(Record, ErrorsGiveOneLineAndStatusOne) {
    TempDir dir;
    const auto missing = dir.path() / "missing.kvr";
    const auto foreign = dir.Write("notes.kvr", "hello\r\n");
    const auto unusable = dir.Write("v3.kvr", "<ORV>\r\n<VERSION>1.0</VERSION>\r\n");
    const auto invalid = dir.Write("bad.kvr", "<ORV>\r\n<VERSION>2.0</VERSION>\r\n<RUN>\r\n");
    const auto hugeHead = dir.Write("head.kvr", "<ORV>\r\n<VERSION>2.0</VERSION>\r\n<ATTR>\r\n<HEAD>2000000000</HEAD>\r\n"
                                              "<FUNCSET>+</FUNCSET>\r\n<VALUES>\r\n\r\n"
                                              "<TRAIN>\r\n</TRAIN>\r\n<TEST>\r\n</TEST>\r\n</VALUES>\r\n</ORV>\r\n");
    const struct {
        std::filesystem::path file;
        std::string line;
    } cases[] = {
        {missing, "error 5004: File not found."},
        {foreign, "error 5002: Wrong file format."},
        {unusable, "error 5003: Invalid file."},
        {invalid, "error 20015: The file is invalid or was saved with a different version of ORV. [clsFileParser]"},
    };
    for (const auto& c : cases) {
        const Result r = Orvconvert("record " + Quoted(c.file));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "orvconvert: " + c.file.string() + ": " + c.line + "\n");
        EXPECT_EQ(r.out, "");
    }
    // A derived size that overflows shows as null; the dump still succeeds.
    const Result r = Orvconvert("record " + Quoted(hugeHead));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_TRUE(j["TamanhoGene"].is_null());
    EXPECT_EQ(j["Head"], 2000000000);
}

TEST(Upgrade, SavesALoadableVersionTwoFile) {
    TempDir dir;
    const Result r = Orvconvert("upgrade " + Quoted(test::ExamplesDir() / "classification.kvr") + " -o " +
                         Quoted(dir.path() / "copy"));
    ASSERT_EQ(r.status, 0) << r.err;
    const Result again = Orvconvert("record " + Quoted(dir.path() / "copy.kvr"));
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(nlohmann::json::parse(again.out)["Key"], "Credit screening");
}

TEST(Usage, BadArgumentsGiveStatusTwo) {
    for (const char* args : {"record", "frobnicate x", "record --encoding no-such-code-page x.kvr", "upgrade x.kvr"}) {
        EXPECT_EQ(Orvconvert(args).status, 2) << args;
    }
    EXPECT_EQ(Orvconvert("--version").status, 0);
    EXPECT_EQ(Orvconvert("record --help").status, 0);
}

std::vector<nlohmann::json> JsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

TEST(Calls, FunctionSetThenSettingsThenDataThenModel) {
    const Result r = Orvconvert("calls " + Quoted(test::ExamplesDir() / "regression.kvr"));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto calls = JsonLines(r.out);
    std::vector<nlohmann::json> puts, loads;
    std::ptrdiff_t setFunctionSet = -1, firstCheckKey = -1;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto& c = calls[i];
        if (c["call"] == "SetFunctionSet") setFunctionSet = static_cast<std::ptrdiff_t>(i);
        if (c["call"] == "CheckKey" && firstCheckKey < 0) firstCheckKey = static_cast<std::ptrdiff_t>(i);
        if (c["call"] == "PutKeyedValue") puts.push_back(c);
        if (c["call"] == "LoadFromFile") loads.push_back(c);
    }
    EXPECT_GE(setFunctionSet, 0);
    EXPECT_LT(setFunctionSet, firstCheckKey);
    ASSERT_EQ(puts.size(), 36u) << "35 settings and the test-set switch";
    EXPECT_EQ(puts[0]["name"], "Generation");
    EXPECT_EQ(puts[4], nlohmann::json::parse(
                           R"({"call":"PutKeyedValue","section":"set_gen","name":"LinkingFunction","type":2,"vt":"I2","value":43})"));
    EXPECT_EQ(puts[17]["value"], 3) << "separator \";\" as the version-3 code";
    EXPECT_EQ(puts[34]["name"], "StopValue");
    EXPECT_EQ(puts[34]["vt"], "R8");
    EXPECT_EQ(puts[34]["type"], 3);
    EXPECT_EQ(puts[35]["name"], "UseTestSet");
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_EQ(loads[0]["text"].get<std::string>().rfind("flow;head;speed;efficiency\r\n12.5;18.2;1.45;0.612\r\n", 0), 0u);
    EXPECT_EQ(loads[1]["which"], 2);
    EXPECT_EQ(calls.back(), nlohmann::json::parse(R"({"call":"SelectModel","number":1})"));
}

TEST(Convert, OneJsonPerFileAndOnPastFailures) {
    TempDir out;
    const Result r = Orvconvert("convert " + Quoted(test::ExamplesDir() / "regression.kvr") + " " +
                                Quoted(out.path() / "missing.kvr") + " --out-dir " + Quoted(out.path()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.kvr: error 5004: File not found."), std::string::npos) << r.err;
    const auto run = nlohmann::json::parse(test::ReadAll(out.path() / "regression.json"));
    EXPECT_EQ(run["key"], "Pump efficiency");
    EXPECT_EQ(run["dataSets"][1]["records"].size(), 5u);
    EXPECT_EQ(run["selectedModel"], 1);
}

TEST(Info, PrintsTheBestModelAsAFormula) {
    const Result r = Orvconvert("info " + Quoted(test::ExamplesDir() / "regression.kvr"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Best model:    [((flow+head)*(sqrt(flow)-speed))] + [(head/(speed*flow))] + [exp(speed)]\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Training data: 12 records\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace orv
