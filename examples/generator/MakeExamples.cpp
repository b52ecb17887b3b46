// Writes the bundled examples: each one a run whose data come from its own
// best model (a regression's targets are the model's output plus a little
// measurement noise; a classification's classes are the model's, with a few
// misses), and whose fitness figures, R-squares and history are what the
// model scores on those data, computed by the reference host's evaluator
// after the file has been read back as the conversion reads it. A run's
// settings stand beside this program as the tag lines of a run file
// (NAME.settings, Windows-1252 like the examples); version-2.0 files are
// written by the project's own writer. The seeds are fixed, so every run of
// this program writes the same bytes.
//
//   orv_make_examples DIR            writes DIR/*.kvr (after a change: build/default/examples/generator/orv_make_examples examples)
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

// What makes one example besides the settings of its run, which stand beside
// this program as the tag lines of a run file (NAME.settings).
struct Story {
    std::string file;
    std::string version1Header;  // empty for a version-2.0 file
    std::uint64_t seed;
    std::string locale;          // whose decimal mark the file uses
    std::size_t trainCount, testCount;
    std::vector<int> decimals;   // per field, the target last
    double missRate;             // classification: the share of records the model gets wrong
    std::function<Row(Rng&, std::size_t record, bool test)> inputs;
    std::function<double(Rng&, double output)> noise;  // regression: the measured value
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

// Error types of the record, by code.
constexpr Long kRelative = 0, kRsquare = 2, kHitsNumber = 3;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The run's settings, read by the run-block reader from the tag lines kept
// in DIR/generator beside this program; the NAME line gives the key.
clsRun Settings(const Story& s, const fs::path& dir) {
    const fs::path file = dir / "generator" / fs::path(s.file).replace_extension(".settings");
    std::istringstream lines(ReadFile(file));
    clsRun run;
    String tag, value;
    for (std::string line; std::getline(lines, line);) {
        if (!clsFileParser::SplitTagLine(line, tag, value)) continue;
        if (tag == "NAME") run.Key(value);
        else if (!clsFileParser().PreencherRun(tag, value, run)) throw std::runtime_error(file.string() + ": unknown tag " + tag);
    }
    return run;
}

// Every gene as the run's architecture makes it: head and tail in full, the
// functions in the head.
void CheckGenes(const Story& s, const clsRun& run) {
    // Texts here are appended piece by piece: g++ 12 at -O3 warns falsely
    // (-Wrestrict) on chains of operator+.
    std::string separator(1, ' ');
    separator.append(run.LinkingFunction()).append(1, ' ');
    std::string karva = run.Karva() + separator;
    for (std::size_t at; (at = karva.find(separator)) != std::string::npos; karva.erase(0, at + separator.size())) {
        Long symbols = 0;
        for (std::size_t i = 0; i < at; ++i) {
            if (karva[i] >= '0' && karva[i] <= '9') continue;
            if (karva[i] != 'd' && symbols >= run.Head()) throw std::runtime_error(s.file + ": a function in the tail");
            ++symbols;
        }
        if (symbols != run.TamanhoGene())
            throw std::runtime_error(s.file + ": a gene of " + std::to_string(symbols) + " symbols: " + karva.substr(0, at));
    }
}

// Whether the model's output counts as a hit: its class is the target's
// under the threshold of a classification run; within the precision of the
// target in a run that finds a function.
bool Hit(const clsRun& run, double output, double target) {
    if (run.Category() == 1) return (output >= run.ClassThreshold()) == (target >= run.ClassThreshold());
    return std::fabs(output - target) <= run.Precision();
}

// The records of one set as text, each field rounded as the story measures
// it; rows gets the values the text holds.
std::string MakeData(const Story& s, const clsRun& run, const refhost::ModelTree& model, Rng& rng, bool test,
                     std::vector<Row>& rows) {
    const std::size_t n = test ? s.testCount : s.trainCount;
    const std::string separator = run.Separador_toString();
    const bool classes = run.Category() == 1 || run.ErrorType() == kHitsNumber;
    const double threshold = run.Category() == 1 ? run.ClassThreshold() : 0.5;
    std::string text;
    for (std::size_t r = 0; r < n; ++r) {
        Row row = s.inputs(rng, r, test);
        row.push_back(0);
        std::string line;
        for (std::size_t f = 0; f < row.size(); ++f) {
            if (f + 1 == row.size()) {
                const double output = refhost::EvaluateModel(model, row);
                row[f] = !classes ? s.noise(rng, output) : (output >= threshold) != (rng.Uniform() < s.missRate) ? 1 : 0;
            }
            const std::string field = Fixed(row[f], s.decimals[f], Mark(s));
            row[f] = Parse(field);
            line += (f ? separator : "") + field;
        }
        text += (r ? "\r\n" : "") + line;
        rows.push_back(row);
    }
    return text;
}

struct Scores {
    double best = 0, rsquare = 0;
};

// The fitness of the model on a set, as the run's error type measures it, and
// its R-square, on the records the conversion hands the host.
Scores Score(const Story& s, const clsRun& run, const refhost::ModelTree& model, const refhost::DataSet& data) {
    const refhost::Fit fit = refhost::FitOn(model, data);
    Scores scores;
    if (fit.targets.empty()) return scores;
    const auto r2 = refhost::RSquare(fit.targets, fit.outputs);
    if (!r2) throw std::runtime_error(s.file + ": R-square undefined");
    scores.rsquare = *r2;
    for (std::size_t i = 0; i < fit.targets.size(); ++i) {
        const double t = fit.targets[i], o = fit.outputs[i];
        if (run.ErrorType() == kHitsNumber) {
            scores.best += Hit(run, o, t) ? 1 : 0;
        } else {
            double error = run.ErrorType() == kRelative ? 100 * std::fabs(o - t) / std::fabs(t) : std::fabs(o - t);
            if (error <= run.Precision()) error = 0;
            scores.best += std::max(0.0, run.SelectionRange() - error);
        }
    }
    if (run.ErrorType() == kRsquare) scores.best = 1000 * scores.rsquare;
    return scores;
}

// Generations at which the best fitness improved, ending at the best.
std::string History(const Story& s, const clsRun& run, Rng& rng, double best) {
    const bool whole = run.ErrorType() == kHitsNumber;
    std::vector<Long> generations{0};
    for (int i = 0; i < 6; ++i) generations.push_back(static_cast<Long>(rng.Between(1, 0.85 * run.Geracoes())));
    std::sort(generations.begin(), generations.end());
    generations.erase(std::unique(generations.begin(), generations.end()), generations.end());
    std::string text;
    double fitness = best * 0.55, previous = -1;
    for (std::size_t i = 0; i < generations.size(); ++i) {
        const bool last = i + 1 == generations.size();
        const double value = last ? best : whole ? std::floor(fitness) : std::round(fitness * 100) / 100;
        fitness += (best - fitness) * rng.Between(0.3, 0.7);
        if (value <= previous || (!last && value >= best)) continue;  // only improvements are kept
        if (!text.empty()) text += '@';
        text.append(std::to_string(generations[i])).append(1, ';').append(DoubleToText(value, std::string(1, Mark(s))));
        previous = value;
    }
    return text;
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

// A version-1.0 file of the run: settings line, name, description, date,
// model and figures, then a column of values per variable.
std::string Version1File(const Story& s, const clsRun& run, const std::vector<Row>& train, const std::vector<Row>& test) {
    const auto num = [&](double v) { return DoubleToText(v, std::string(1, Mark(s))); };
    const auto whole = [](Long v) { return std::to_string(v); };
    const std::string& path = run.TrainPathFile();
    const std::vector<std::string> settings = {
        path.substr(0, path.rfind('\\')), whole(run.Geracoes()), whole(run.Genes()), whole(run.Cromossomas()),
        whole(run.Head()), run.LinkingFunction() == "*" ? "1" : "0", whole(run.NumeroResultadosExp()),
        whole(run.NumeroResultadosValidar()), whole(run.NumeroTerminais()), num(run.Precision()),
        whole(run.ErrorType()), num(run.SelectionRange()), num(run.Mutation()), num(run.OnePointRec()),
        num(run.TwoPointRec()), num(run.GeneRec()), num(run.GeneTransp()), Version1Karva(run.FunctionSet()),
        num(run.ISTranspRate()), whole(run.NumISElem()), run.ISElements(), num(run.RISTranspRate()),
        whole(run.NumRISElem()), run.RISElements()};
    std::string text = s.version1Header + "\r\n";
    for (std::size_t i = 0; i < settings.size(); ++i) text += (i ? "#" : "") + settings[i];
    text += "\r\n";
    for (const std::string& line :
         {run.Key(), run.Comments(), run.LastSaved(), Version1Karva(run.Karva()), num(run.BestFitnessRun()),
          num(run.MaxFitnessRun()), num(run.rsQuareRun()), num(run.BestFitnessVal()), num(run.MaxFitnessVal()),
          num(run.RsquareVal()), run.TrainPathFile(), run.ValPathFile()})
        text += line + "\r\n";
    const auto columns = [&](const std::vector<Row>& rows, const std::string& prefix) {
        for (std::size_t c = 0; c < s.decimals.size(); ++c) {
            const bool target = c + 1 == s.decimals.size();
            text += "<" + prefix + (target ? std::string("VarDep") : "Terminal" + std::string(1, static_cast<char>('A' + c))) + ">\r\n";
            for (const Row& row : rows) text += Fixed(row[c], s.decimals[c], Mark(s)) + "\r\n";
        }
    };
    columns(train, "");
    if (!test.empty()) columns(test, "Val");
    return text;
}

// The writer stamps the day of saving; an example keeps the day of its story.
std::string WithLastSaved(std::string bytes, const std::string& day) {
    const std::string open = "<LASTSAVED>", close = "</LASTSAVED>";
    const std::size_t from = bytes.find(open) + open.size(), to = bytes.find(close, from);
    return bytes.replace(from, to - from, day);
}

std::string Bytes(const Story& s, const clsRun& run, const std::vector<Row>& train, const std::vector<Row>& test,
                  const fs::path& work) {
    if (!s.version1Header.empty()) return Version1File(s, run, train, test);
    const fs::path file = work / s.file;
    clsFileParser().SaveKvr(file.string(), run);
    return WithLastSaved(ReadFile(file), run.LastSaved());
}

std::string Make(const Story& s, const fs::path& dir, const fs::path& work) {
    ::setenv("LC_ALL", s.locale.c_str(), 1);
    clsRun run = Settings(s, dir);
    CheckGenes(s, run);
    const refhost::ModelTree model = refhost::DecodeModel(run.Karva(), run.LinkingFunction());
    Rng rng(s.seed);
    std::vector<Row> train, test;
    run.TrainValues(MakeData(s, run, model, rng, false, train));
    run.ValidationValues(MakeData(s, run, model, rng, true, test));
    run.NumeroTerminais(static_cast<Long>(s.decimals.size() - 1));
    run.NumeroResultadosExp(static_cast<Long>(train.size()));
    run.TrainingNumeroValoresFicheiro(static_cast<Long>(train.size()));
    run.NumeroResultadosValidar(static_cast<Long>(test.size()));

    // The figures are those of the records as the conversion reads them back.
    const fs::path draft = work / ("draft-" + s.file);
    WriteFile(draft, Bytes(s, run, train, test, work));
    refhost::ReferenceHost host;
    auto converted = host.CreateRun();
    V2Adapter(host).TransferLoadedRun(V2Adapter::LoadForConversion(draft.string()), converted);
    const Scores trained = Score(s, run, model, converted->Data(1));
    run.BestFitnessRun(trained.best);
    run.rsQuareRun(trained.rsquare);
    if (!test.empty()) {
        const Scores tested = Score(s, run, model, converted->Data(2));
        run.BestFitnessVal(tested.best);
        run.RsquareVal(tested.rsquare);
    }
    run.EvolveHistory(History(s, run, rng, trained.best));
    return Bytes(s, run, train, test, work);
}

std::vector<Story> Stories() {
    return {
        // A centrifugal pump on the test bench at two speeds: the head falls
        // with the flow by the affinity laws, and the efficiency peaks at a
        // flow that grows with the speed. The model:
        // (head-speed)/(head+speed) + speed*speed/(speed-flow) + speed/head/flow.
        {"regression.kvr", "", 2005031401, "C", 12, 5, {1, 1, 2, 3}, 0,
         [](Rng& rng, std::size_t r, bool test) {
             const double speed = (test ? r < 3 : r < 6) ? 1.45 : 1.75;
             const double flow = test ? 13.2 + 3.0 * static_cast<double>(r % 3) : 12.5 + 1.5 * static_cast<double>(r % 6);
             const double phi = flow / speed;
             return Row{flow, speed * speed * (10.15 - 0.0201 * phi * phi) + 0.15 * rng.Noise(), speed};
         },
         [](Rng& rng, double output) { return output + 0.004 * rng.Noise(); }},
        // Loan applications of one branch, accepted or refused from the age,
        // the monthly income in thousands, the debt ratio and the years
        // employed. The model: (income*years > age*debt) + (income < debt) +
        // (debt-debt) + debt/age.
        {"classification.kvr", "", 2004110201, "C", 60, 20, {0, 1, 2, 0, 0}, 0.06,
         [](Rng& rng, std::size_t, bool) {
             const double age = std::floor(rng.Between(21, 64));
             const double years = std::floor(rng.Between(0, std::min(35.0, age - 19)));
             return Row{age, rng.Between(0.8, 5.5), rng.Between(0.05, 0.7), years};
         },
         nullptr},
        // A cantilever loaded at its free end, two rolled sections: the
        // deflection (mm) is load*length^3/(3*EI), from kN, m and MN*m2, which
        // the model finds as load*length^3/(EI+EI+EI).
        {"no-test-data.kvr", "", 2004062101, "de_DE.UTF-8", 16, 0, {2, 1, 3, 2}, 0,
         [](Rng&, std::size_t r, bool) {
             return Row{1.0 + 0.5 * static_cast<double>(r % 4), r % 8 < 4 ? 2.0 : 4.0, r < 8 ? 0.359 : 0.668};
         },
         [](Rng& rng, double output) { return output * (1 + 0.008 * rng.Noise()); }},
        // Cylinders of the workshop measured by caliper and by water: the
        // volume (cm3) from the radius and the height (cm). The model's third
        // gene comes near pi as 2 to the power of the root of e.
        {"v1-regression.kvr", "<Zolvane><ORV 1.00>", 1999031201, "C", 14, 5, {2, 1, 1}, 0,
         [](Rng& rng, std::size_t, bool) {
             return Row{std::round(rng.Between(1.0, 4.0) * 4) / 4, std::round(rng.Between(2.0, 12.0) * 2) / 2};
         },
         [](Rng& rng, double output) { return output * (1 + 0.006 * rng.Noise()); }},
        // Wheat kernels of two varieties told apart by length, width and
        // groove length (mm); an answer within half a class of the right one
        // is a hit. The model: (groove - (length+width)/2) * width/length.
        {"v1-classification.kvr", "<Zolvane><ORVae 1.00>", 1999120302, "de_DE.UTF-8", 40, 0, {2, 2, 2, 0}, 0.05,
         [](Rng& rng, std::size_t, bool) {
             const double length = rng.Between(5.1, 6.6), width = length * rng.Between(0.52, 0.62);
             return Row{length, width, rng.Between(4.6, 6.4)};
         },
         nullptr},
    };
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
            const std::string bytes = Make(s, dir, work);
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
