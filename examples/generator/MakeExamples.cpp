// Writes the bundled examples: each one a run whose data come from its own
// best model (a regression's targets are the model's output plus a little
// measurement noise; a classification's classes are the model's, with a few
// misses), and whose fitness figures, R-squares and history are what the
// model scores on those data, computed by the reference host's evaluator
// after the file has been read back as the conversion reads it. Version-2.0
// files are written by the project's own writer; the seeds are fixed, so
// every run of this program writes the same bytes.
//
//   orv_make_examples DIR            writes DIR/*.kvr
//   orv_make_examples --check DIR    writes them elsewhere; fails unless DIR holds the same bytes
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "adapter/V2Adapter.h"
#include "common/ComError.h"
#include "common/Conversions.h"
#include "host/ModelEvaluator.h"
#include "host/ReferenceHost.h"
#include "legacy_file/clsFileParser.h"

namespace fs = std::filesystem;

namespace orv::examples {
namespace {

// A small generator of its own: the standard distributions may differ from
// one library to the next, and the examples must not.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Between(double low, double high) { return low + (high - low) * Uniform(); }
    // Mean 0, deviation 1, bell-shaped enough for measurement noise.
    double Noise() { return (Uniform() + Uniform() + Uniform() + Uniform() - 2.0) * std::sqrt(3.0); }

private:
    std::uint64_t Next() {  // splitmix64
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::uint64_t state_;
};

using Row = std::vector<double>;

struct Story {
    std::string file;
    int version = 2;
    std::string version1Header = "<Zolvane><ORV 1.00>";
    std::uint64_t seed = 1;
    std::string locale = "C";  // whose decimal mark the writer uses
    std::string key, author, comments, lastSaved;
    std::string category = "FunctionFinding", errorType = "Relative";
    double precision = 0, selectionRange = 100, threshold = 0.5;
    std::string functionSet, linking = "+", karva;
    Long genes = 1, head = 8, population = 30, generations = 1000;
    double mutation = 0.044, onePoint = 0.3, twoPoint = 0.3, geneRec = 0.1, geneTransp = 0.1;
    Long separator = 1;  // 0 space, 1 ";", 2 tab, 3 ","
    std::string fieldNames, trainPath, testPath;
    std::size_t trainCount = 0, testCount = 0;
    std::vector<int> decimals;  // per field, the target last
    std::function<Row(Rng&, std::size_t record, bool test)> inputs;
    std::function<double(Rng&, double output)> noise;  // regression: the measured value
    double missRate = 0;                               // classification: share of records the model gets wrong
};

std::string Fixed(double v, int decimals, char mark) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string text(buf);
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);  // no "-0.00"
    std::replace(text.begin(), text.end(), '.', mark);
    return text;
}

double Parse(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

char Mark(const Story& s) { return s.locale == "C" ? '.' : ','; }
std::string SeparatorText(Long code) { return std::string(1, " ;\t,"[code]); }

// A record's class under the run's rule: the threshold for a classification
// run, the precision around the target for a hits-counting regression run.
bool Hit(const Story& s, double output, double target) {
    if (s.category == "Classification") return (output >= s.threshold) == (target >= s.threshold);
    return std::fabs(output - target) <= s.precision;
}

// The records of one set as text, each field rounded as the story measures it.
std::string MakeData(const Story& s, const refhost::ModelTree& model, Rng& rng, bool test, std::vector<Row>& rows) {
    const std::size_t n = test ? s.testCount : s.trainCount;
    const std::string sep = SeparatorText(s.separator);
    std::string text;
    for (std::size_t r = 0; r < n; ++r) {
        const Row raw = s.inputs(rng, r, test);
        Row row;
        std::string line;
        for (std::size_t f = 0; f < raw.size(); ++f) {
            const std::string field = Fixed(raw[f], s.decimals[f], Mark(s));
            row.push_back(Parse(field));
            line += field + sep;
        }
        const double output = refhost::EvaluateModel(model, row);
        double target;
        if (s.category == "Classification" || s.errorType == "HitsNumber") {
            target = output >= (s.category == "Classification" ? s.threshold : 0.5) ? 1 : 0;
            if (rng.Uniform() < s.missRate) target = 1 - target;
        } else {
            target = s.noise(rng, output);
        }
        line += Fixed(target, s.decimals.back(), Mark(s));
        row.push_back(Parse(Fixed(target, s.decimals.back(), '.')));
        text += (r ? "\r\n" : "") + line;
        rows.push_back(row);
    }
    return text;
}

struct Scores {
    double best = 0, rsquare = 0;
};

// The fitness of the model on a set, as its error type measures it, and the
// R-square, from the records the conversion hands the host.
Scores Score(const Story& s, const refhost::ModelTree& model, const refhost::DataSet& data) {
    const refhost::Fit fit = refhost::FitOn(model, data);
    Scores scores;
    if (fit.targets.empty()) return scores;
    const auto r2 = refhost::RSquare(fit.targets, fit.outputs);
    if (!r2) throw std::runtime_error(s.file + ": R-square undefined");
    scores.rsquare = *r2;
    for (std::size_t i = 0; i < fit.targets.size(); ++i) {
        const double t = fit.targets[i], o = fit.outputs[i];
        if (s.errorType == "HitsNumber") {
            scores.best += Hit(s, o, t) ? 1 : 0;
        } else {
            double error = s.errorType == "Relative" ? 100 * std::fabs(o - t) / std::fabs(t) : std::fabs(o - t);
            if (error <= s.precision) error = 0;
            scores.best += std::max(0.0, s.selectionRange - error);
        }
    }
    if (s.errorType == "Rsquare") scores.best = 1000 * scores.rsquare;
    return scores;
}

// Generations at which the best fitness improved, ending at the best.
std::string History(const Story& s, Rng& rng, double best) {
    const bool whole = s.errorType == "HitsNumber";
    std::vector<long> generations{0};
    for (int i = 0; i < 6; ++i) generations.push_back(static_cast<long>(rng.Between(1, 0.85 * static_cast<double>(s.generations))));
    std::sort(generations.begin(), generations.end());
    generations.erase(std::unique(generations.begin(), generations.end()), generations.end());
    std::string text;
    double fitness = best * 0.55, previous = -1;
    for (std::size_t i = 0; i < generations.size(); ++i) {
        const bool last = i + 1 == generations.size();
        const double value = last ? best : whole ? std::floor(fitness) : std::round(fitness * 100) / 100;
        fitness += (best - fitness) * rng.Between(0.3, 0.7);
        if (value <= previous || (!last && value >= best)) continue;  // only improvements are kept
        text += (text.empty() ? "" : "@") + std::to_string(generations[i]) + ";" + DoubleToText(value, std::string(1, Mark(s)));
        previous = value;
    }
    return text;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The version-1.0 letters of a chromosome: d0 to d9 are a to j, "^" is P and "G" is T.
std::string Version1Karva(const std::string& karva) {
    std::string out;
    for (std::size_t i = 0; i < karva.size(); ++i) {
        const char c = karva[i];
        if (c == 'd') out += static_cast<char>('a' + (karva[++i] - '0'));
        else out += c == '^' ? 'P' : c == 'G' ? 'T' : c;
    }
    return out;
}

struct Figures {
    Scores train, test;
    std::string history;
};

std::string Version1File(const Story& s, const std::vector<Row>& train, const std::vector<Row>& test, const Figures& f) {
    const auto num = [&](double v) { return DoubleToText(v, std::string(1, Mark(s))); };
    const long errorCode = s.errorType == "Absolute" ? 1 : s.errorType == "Rsquare" ? 2 : s.errorType == "HitsNumber" ? 3 : 0;
    const std::string functionSet = Version1Karva(s.functionSet);
    const std::vector<std::string> settings = {
        s.trainPath.substr(0, s.trainPath.rfind('\\')), std::to_string(s.generations), std::to_string(s.genes),
        std::to_string(s.population), std::to_string(s.head), s.linking == "*" ? "1" : "0",
        std::to_string(train.size()), std::to_string(test.size()), std::to_string(train[0].size() - 1),
        num(s.precision), std::to_string(errorCode), num(s.selectionRange), num(s.mutation), num(s.onePoint),
        num(s.twoPoint), num(s.geneRec), num(s.geneTransp), functionSet, num(0.1), "3", "1@2@3@0@0@0@0@0@0@0",
        num(0.1), "3", "1@2@3@0@0@0@0@0@0@0"};
    std::string text = s.version1Header + "\r\n";
    for (std::size_t i = 0; i < settings.size(); ++i) text += (i ? "#" : "") + settings[i];
    text += "\r\n";
    const auto maximum = [&](std::size_t n) {
        return s.errorType == "HitsNumber" ? static_cast<double>(n) : s.selectionRange * static_cast<double>(n);
    };
    for (const std::string& line :
         {s.key, s.comments, s.lastSaved, Version1Karva(s.karva), num(f.train.best), num(maximum(train.size())),
          num(f.train.rsquare), num(f.test.best), num(test.empty() ? 0 : maximum(test.size())), num(f.test.rsquare),
          s.trainPath, s.testPath})
        text += line + "\r\n";
    const auto columns = [&](const std::vector<Row>& rows, const std::string& prefix) {
        for (std::size_t c = 0; c < rows[0].size(); ++c) {
            const bool target = c + 1 == rows[0].size();
            text += "<" + prefix + (target ? std::string("VarDep") : "Terminal" + std::string(1, static_cast<char>('A' + c))) + ">\r\n";
            for (const Row& row : rows) text += Fixed(row[c], s.decimals[c], Mark(s)) + "\r\n";
        }
    };
    columns(train, "");
    if (!test.empty()) columns(test, "Val");
    return text;
}

clsRun Record(const Story& s, const std::string& trainText, const std::string& testText, const Figures& f) {
    clsRun run;
    run.Geracoes(s.generations);
    run.Cromossomas(s.population);
    run.FunctionSet(s.functionSet);
    run.Genes(s.genes);
    run.Head(s.head);
    run.LinkingFunction(s.linking);
    run.Category_fromString(s.category);
    run.ErrorType_fromString(s.errorType);
    run.Precision(s.precision);
    run.SelectionRange(s.selectionRange);
    run.ClassThreshold(s.threshold);
    run.NumeroTerminais(static_cast<Long>(s.decimals.size() - 1));
    run.NumeroResultadosExp(static_cast<Long>(s.trainCount));
    run.TrainingNumeroValoresFicheiro(static_cast<Long>(s.trainCount));
    run.NumeroResultadosValidar(static_cast<Long>(s.testCount));
    run.Mutation(s.mutation);
    run.OnePointRec(s.onePoint);
    run.TwoPointRec(s.twoPoint);
    run.GeneRec(s.geneRec);
    run.GeneTransp(s.geneTransp);
    run.ISTranspRate(0.1);
    run.NumISElem(3);
    run.ISElements("1@2@3");
    run.RISTranspRate(0.1);
    run.NumRISElem(3);
    run.RISElements("1@2@3");
    run.TrainPathFile(s.trainPath);
    run.ValPathFile(s.testPath);
    run.Separador(s.separator);
    run.StopConditionIndex(3);
    run.StopConditionValue(1);
    run.ShowInteractive(true);
    run.ShowFullErrors(s.category != "Classification");
    run.FieldNames(s.fieldNames);
    run.Karva(s.karva);
    run.BestFitnessRun(f.train.best);
    run.rsQuareRun(f.train.rsquare);
    run.BestFitnessVal(f.test.best);
    run.RsquareVal(f.test.rsquare);
    run.EvolveHistory(f.history);
    run.Author(s.author);
    run.Comments(s.comments);
    run.Key(s.key);
    run.TrainValues(trainText);
    run.ValidationValues(testText);
    return run;
}

// The writer stamps the day of saving; an example keeps the day of its story.
std::string WithLastSaved(std::string bytes, const std::string& day) {
    const std::string open = "<LASTSAVED>", close = "</LASTSAVED>";
    const std::size_t from = bytes.find(open) + open.size(), to = bytes.find(close, from);
    return bytes.replace(from, to - from, day);
}

std::string Bytes(const Story& s, const std::string& trainText, const std::string& testText,
                  const std::vector<Row>& train, const std::vector<Row>& test, const Figures& f, const fs::path& work) {
    if (s.version == 1) return Version1File(s, train, test, f);
    const fs::path file = work / s.file;
    clsFileParser().SaveKvr(file.string(), Record(s, trainText, testText, f));
    return WithLastSaved(ReadFile(file), s.lastSaved);
}

// Every gene as the run's architecture makes it: head and tail in full, the
// functions in the head.
void CheckGenes(const Story& s) {
    const std::string separator = " " + s.linking + " ";
    std::string karva = s.karva + separator;
    for (std::size_t at; (at = karva.find(separator)) != std::string::npos; karva.erase(0, at + separator.size())) {
        long symbols = 0;
        for (std::size_t i = 0; i < at; ++i) {
            if (karva[i] >= '0' && karva[i] <= '9') continue;
            if (karva[i] != 'd' && symbols >= s.head) throw std::runtime_error(s.file + ": a function in the tail");
            ++symbols;
        }
        if (symbols != 2 * s.head + 1)
            throw std::runtime_error(s.file + ": a gene of " + std::to_string(symbols) + " symbols: " + karva.substr(0, at));
    }
}

std::string Make(const Story& s, const fs::path& work) {
    CheckGenes(s);
    ::setenv("LC_ALL", s.locale.c_str(), 1);
    Rng rng(s.seed);
    const refhost::ModelTree model = refhost::DecodeModel(s.karva, s.linking);
    std::vector<Row> train, test;
    const std::string trainText = MakeData(s, model, rng, false, train);
    const std::string testText = MakeData(s, model, rng, true, test);

    // The figures are those of the records as the conversion reads them back.
    Figures figures;
    const fs::path draft = work / ("draft-" + s.file);
    WriteFile(draft, Bytes(s, trainText, testText, train, test, figures, work));
    refhost::ReferenceHost host;
    auto run = host.CreateRun();
    V2Adapter(host).TransferLoadedRun(V2Adapter::LoadForConversion(draft.string()), run);
    figures.train = Score(s, model, run->Data(1));
    if (!test.empty()) figures.test = Score(s, model, run->Data(2));
    figures.history = History(s, rng, figures.train.best);
    return Bytes(s, trainText, testText, train, test, figures, work);
}

std::vector<Story> Stories() {
    std::vector<Story> stories;

    // A centrifugal pump on the test bench at two speeds: the head falls with
    // the flow by the affinity laws, and the efficiency peaks at a flow that
    // grows with the speed.
    Story pump;
    pump.file = "regression.kvr";
    pump.seed = 2005031401;
    pump.key = "Pump efficiency";
    pump.author = "Jos\xe9 Martins <jmartins@hydro.example>";
    pump.comments = "Centrifugal pump, bench tests of March.\r\nFlow in l/s, head in m, speed in rpm/1000.";
    pump.lastSaved = "14/03/2005";
    pump.functionSet = "+-*/QE";
    pump.genes = 3;
    pump.head = 7;
    pump.generations = 2000;
    // (head-speed)/(head+speed) + speed*speed/(speed-flow) + speed/head/flow
    pump.karva = "/-+d1d2d1d2d0d1d2d0d1d2d0d1 + /*-d2d2d2d0d1d0d2d1d0d2d1d0 + //d0d2d1d1d0d2d0d1d2d0d1d2d0";
    pump.fieldNames = "flow;head;speed;efficiency";
    pump.trainPath = "C:\\Runs\\pump\\train.txt";
    pump.testPath = "C:\\Runs\\pump\\test.txt";
    pump.trainCount = 12;
    pump.testCount = 5;
    pump.decimals = {1, 1, 2, 3};
    pump.inputs = [](Rng& rng, std::size_t r, bool test) {
        const double speed = (test ? r < 3 : r < 6) ? 1.45 : 1.75;
        const double flow = test ? 13.2 + 3.0 * static_cast<double>(r % 3) : 12.5 + 1.5 * static_cast<double>(r % 6);
        const double phi = flow / speed;
        return Row{flow, speed * speed * (10.15 - 0.0201 * phi * phi) + 0.15 * rng.Noise(), speed};
    };
    pump.noise = [](Rng& rng, double output) { return output + 0.004 * rng.Noise(); };
    stories.push_back(pump);

    // Loan applications of one branch: accepted or refused from the age, the
    // monthly income in thousands, the debt ratio and the years employed.
    Story credit;
    credit.file = "classification.kvr";
    credit.seed = 2004110201;
    credit.key = "Credit screening";
    credit.author = "R. Almeida";
    credit.comments = "Accept (1) or refuse (0) from age, monthly income (k), debt ratio, years employed.";
    credit.lastSaved = "02-11-2004";
    credit.category = "Classification";
    credit.errorType = "HitsNumber";
    credit.functionSet = "+-*/<>";
    credit.genes = 4;
    credit.head = 6;
    credit.population = 50;
    credit.generations = 500;
    credit.mutation = 0.044;
    credit.onePoint = 0.4;
    credit.twoPoint = 0.2;
    // (income*years > age*debt) + (income < debt) + (debt-debt) + debt/age
    credit.karva = ">**d1d3d0d2d1d0d2d3d0d1 + <d1d2d0d3d1d2d0d3d1d0d2d3 + -d2d2d0d1d3d0d2d1d3d0d1d2 + /d2d0d1d3d2d0d1d2d3d1d0d2";
    credit.separator = 2;
    credit.fieldNames = "age\tincome\tdebt_ratio\tyears_employed\taccepted";
    credit.trainPath = "D:\\gep\\credit\\applicants.txt";
    credit.testPath = "D:\\gep\\credit\\holdout.txt";
    credit.trainCount = 60;
    credit.testCount = 20;
    credit.decimals = {0, 1, 2, 0, 0};
    credit.missRate = 0.06;
    credit.inputs = [](Rng& rng, std::size_t, bool) {
        const double age = std::floor(rng.Between(21, 64));
        const double years = std::floor(rng.Between(0, std::min(35.0, age - 19)));
        return Row{age, rng.Between(0.8, 5.5), rng.Between(0.05, 0.7), years};
    };
    stories.push_back(credit);

    // A cantilever loaded at its free end, two rolled sections: the deflection
    // is F*L^3/(3*EI) (mm from kN, m and MN*m^2).
    Story beam;
    beam.file = "no-test-data.kvr";
    beam.seed = 2004062101;
    beam.locale = "de_DE.UTF-8";
    beam.key = "Beam deflection";
    beam.author = "M\xfcller, Kai";
    beam.comments = "Cantilever, load at the free end: deflection (mm) from length (m), load (kN) and EI (MN*m2).";
    beam.lastSaved = "21.06.2004";
    beam.errorType = "Absolute";
    beam.precision = 0.01;
    beam.selectionRange = 25;
    beam.functionSet = "+-*/";
    beam.genes = 1;
    beam.head = 10;
    beam.population = 40;
    beam.mutation = 0.05;
    beam.geneRec = 0;
    beam.geneTransp = 0;
    // load*length^3 / (EI+EI+EI)
    beam.karva = "/*+d1*d2+d0*d2d2d0d0d1d2d0d1d2d0d1d2";
    beam.trainPath = "C:\\Dokumente\\Balken.txt";
    beam.trainCount = 16;
    beam.decimals = {2, 1, 3, 2};
    beam.inputs = [](Rng&, std::size_t r, bool) {
        return Row{1.0 + 0.5 * static_cast<double>(r % 4), r % 8 < 4 ? 2.0 : 4.0, r < 8 ? 0.359 : 0.668};
    };
    beam.noise = [](Rng& rng, double output) { return output * (1 + 0.008 * rng.Noise()); };
    stories.push_back(beam);

    // Cylinders of the workshop measured by caliper and by water: the volume
    // (cm3) from the radius and the height (cm). The third gene comes near pi
    // as 2 to the power of the root of e.
    Story cylinder;
    cylinder.file = "v1-regression.kvr";
    cylinder.version = 1;
    cylinder.seed = 1999031201;
    cylinder.key = "Cylinder volume";
    cylinder.comments = "Workshop cylinders, volume by water displacement";
    cylinder.lastSaved = "12/03/1999";
    cylinder.errorType = "Absolute";
    cylinder.precision = 0.01;
    cylinder.functionSet = "+-*/^QE";
    cylinder.genes = 3;
    cylinder.head = 10;
    cylinder.linking = "*";
    cylinder.karva = "*d0d0d1d0d1d0d1d0d1d0d1d0d1d0d1d0d1d0d1d0 * d1d0d1d0d1d0d1d0d1d0d1d0d1d0d1d0d1d0d1d0d1 * "
                     "^/Q+d1Ed1d1/d1d1d1d0d1d0d1d0d1d0d1d0";
    cylinder.trainPath = "C:\\Runs\\Cylinder\\train.txt";
    cylinder.testPath = "C:\\Runs\\Cylinder\\test.txt";
    cylinder.trainCount = 14;
    cylinder.testCount = 5;
    cylinder.decimals = {2, 1, 1};
    cylinder.inputs = [](Rng& rng, std::size_t, bool) {
        return Row{std::round(rng.Between(1.0, 4.0) * 4) / 4, std::round(rng.Between(2.0, 12.0) * 2) / 2};
    };
    cylinder.noise = [](Rng& rng, double output) { return output * (1 + 0.006 * rng.Noise()); };
    stories.push_back(cylinder);

    // Wheat kernels of two varieties told apart by length, width and groove
    // length (mm); an answer within half a class of the right one is a hit.
    Story seeds;
    seeds.file = "v1-classification.kvr";
    seeds.version = 1;
    seeds.seed = 1999120302;
    seeds.version1Header = "<Zolvane><ORVae 1.00>";
    seeds.locale = "de_DE.UTF-8";
    seeds.key = "Seed classes";
    seeds.comments = "Kernels of two wheat varieties: 1 for the long-grooved one";
    seeds.lastSaved = "03/12/1999";
    seeds.errorType = "HitsNumber";
    seeds.precision = 0.5;
    seeds.functionSet = "+-*/G";
    seeds.genes = 2;
    seeds.head = 5;
    seeds.population = 20;
    seeds.generations = 300;
    seeds.mutation = 0.05;
    seeds.onePoint = 0.4;
    seeds.twoPoint = 0.2;
    seeds.linking = "*";
    // (groove - (length+width)/2) * width/length
    seeds.karva = "-d2Gd0d1d0d1d2d0d1d2 * /d1d0d2d0d1d2d0d1d2d0";
    seeds.separator = 0;
    seeds.trainPath = "C:\\Runs\\Seeds\\train.txt";
    seeds.trainCount = 40;
    seeds.decimals = {2, 2, 2, 0};
    seeds.missRate = 0.05;
    seeds.inputs = [](Rng& rng, std::size_t, bool) {
        const double length = rng.Between(5.1, 6.6), width = length * rng.Between(0.52, 0.62);
        return Row{length, width, rng.Between(4.6, 6.4)};
    };
    stories.push_back(seeds);
    return stories;
}

}  // namespace
}  // namespace orv::examples

int main(int argc, char** argv) {
    using namespace orv::examples;
    const bool check = argc == 3 && std::string(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::cerr << "usage: orv_make_examples [--check] DIR\n";
        return 2;
    }
    const fs::path dir = argv[argc - 1];
    const fs::path work = fs::temp_directory_path() / ("orv-make-examples-" + std::to_string(::getpid()));
    fs::create_directories(work);
    int status = 0;
    try {
        for (const Story& s : Stories()) {
            const std::string bytes = Make(s, work);
            if (!check) {
                WriteFile(dir / s.file, bytes);
            } else if (ReadFile(dir / s.file) != bytes) {
                std::cerr << "orv_make_examples: " << (dir / s.file).string() << " is not what the generator writes\n";
                status = 1;
            }
        }
    } catch (const orv::ComError& e) {
        std::cerr << "orv_make_examples: error " << e.Number() << ": " << e.Description() << '\n';
        status = 1;
    } catch (const std::exception& e) {
        std::cerr << "orv_make_examples: " << e.what() << '\n';
        status = 1;
    }
    fs::remove_all(work);
    return status;
}
