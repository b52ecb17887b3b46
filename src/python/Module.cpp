// The native half of the Python package orvconverter: reading a run file as
// a conversion does, its data sets as numpy arrays, its best model computed
// on arrays, and the upgrade. The package's __init__.py wraps it.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "adapter/V2Adapter.h"
#include "cli/ConvertedRun.h"
#include "cli/LoadAsConvert.h"
#include "cli/RecordJson.h"
#include "common/ComError.h"
#include "host/Encoding.h"
#include "host/Formula.h"
#include "host/HostJson.h"
#include "host/Karva.h"
#include "host/ModelEvaluator.h"
#include "host/ReferenceHost.h"
#include "legacy_file/clsFileParser.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace orv::python {
namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

// A path as the caller gave it (str, bytes or os.PathLike): its bytes for the
// core, its text for messages.
struct PathArgument {
    std::string bytes;
    std::string text;
};

PathArgument PathOf(const py::object& path) {
    const py::module_ os = py::module_::import("os");
    return {os.attr("fsencode")(path).cast<std::string>(), os.attr("fsdecode")(path).cast<std::string>()};
}

// Sets orvconverter.Error with the error's fields as the pending Python
// error; the core's texts are bytes of the run's code page.
void SetError(const ComError& e, const std::string& path, const refhost::ToUtf8& utf8) {
    const py::object error = py::module_::import("orvconverter").attr("Error")(
        e.Number(), utf8(e.Description()), utf8(e.Source()), path);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
}

[[noreturn]] void RaiseError(const ComError& e, const std::string& path, const refhost::ToUtf8& utf8) {
    SetError(e, path, utf8);
    throw py::error_already_set();
}

// Runs work without the GIL, so that other threads go on; its ComError
// becomes orvconverter.Error once the GIL is back.
template <class F>
auto Unlocked(const std::string& path, const refhost::ToUtf8& utf8, F&& work) {
    std::optional<ComError> failure;
    std::optional<decltype(work())> result;
    {
        const py::gil_scoped_release unlocked;
        try {
            result.emplace(Guarded(std::forward<F>(work)));
        } catch (const ComError& e) {
            failure = e;
        }
    }
    if (failure) RaiseError(*failure, path, utf8);
    return std::move(*result);
}

std::unique_ptr<refhost::ToUtf8> Encoding(const std::string& encoding) {
    try {
        return std::make_unique<refhost::ToUtf8>(encoding);
    } catch (const ComError&) {
        throw py::value_error("unknown encoding " + encoding);
    }
}

// The best model: computed batch by batch on columns of numbers.
class Model {
public:
    Model(refhost::ModelTree tree, std::vector<std::string> inputs, std::string target, std::string karva,
          std::string formula, std::string linking)
        : tree_(std::move(tree)), inputs_(std::move(inputs)), target_(std::move(target)), karva_(std::move(karva)),
          formula_(std::move(formula)), linking_(std::move(linking)) {}

    // The columns of a DataFrame's independent variables, by name, or of a
    // 2-D array in order, as an array of one column after the other.
    py::array Columns(const py::object& data) const {
        const py::module_ np = py::module_::import("numpy");
        const py::object values = py::isinstance(data, py::module_::import("pandas").attr("DataFrame"))
                                      ? data.attr("__getitem__")(py::cast(inputs_)).attr("to_numpy")("dtype"_a = "float64")
                                      : np.attr("asarray")(data, "dtype"_a = "float64");
        if (values.attr("ndim").cast<int>() != 2) throw py::value_error("the model takes a DataFrame or a 2-D array");
        return np.attr("asfortranarray")(values);
    }

    py::array_t<double> operator()(const py::object& data) const {
        const py::array columns = Columns(data);
        const auto rows = static_cast<std::size_t>(columns.shape(0));
        const auto count = static_cast<std::size_t>(columns.shape(1));
        const auto* base = static_cast<const double*>(columns.data());
        py::array_t<double> out(static_cast<py::ssize_t>(rows));
        double* result = out.mutable_data();
        const refhost::ToUtf8 utf8("UTF-8");
        Unlocked("", utf8, [&] {
            refhost::ModelProgram program(tree_);
            std::vector<const double*> at(count);
            std::vector<double> row(count);
            for (std::size_t start = 0; start < rows; start += refhost::ModelProgram::kBatch) {
                const std::size_t n = std::min(refhost::ModelProgram::kBatch, rows - start);
                for (std::size_t v = 0; v < count; ++v) at[v] = base + v * rows + start;
                if (program.Run(at, n, result + start)) continue;
                // What the batch refuses, one row raises with its reason.
                for (std::size_t r = start; r < start + n; ++r) {
                    for (std::size_t v = 0; v < count; ++v) row[v] = at[v][r - start];
                    result[r] = refhost::EvaluateModel(tree_, row);
                }
            }
            return true;
        });
        return out;
    }

    std::optional<double> RSquare(const py::object& frame) const {
        const py::array_t<double> outputs = (*this)(frame);
        const Array targets = frame.attr("__getitem__")(target_).attr("to_numpy")("dtype"_a = "float64");
        return refhost::RSquare(std::span(targets.data(), static_cast<std::size_t>(targets.size())),
                                std::span(outputs.data(), static_cast<std::size_t>(outputs.size())));
    }

    const std::vector<std::string>& Inputs() const { return inputs_; }
    const std::string& Target() const { return target_; }
    const std::string& Karva() const { return karva_; }
    const std::string& Formula() const { return formula_; }
    const std::string& Linking() const { return linking_; }

private:
    refhost::ModelTree tree_;
    std::vector<std::string> inputs_;
    std::string target_, karva_, formula_, linking_;
};

// A run file loaded and converted into the reference host, its data sets
// kept in memory.
class Run {
public:
    Run(const py::object& path, const std::string& encoding) : encoding_(encoding), utf8_(Encoding(encoding)) {
        const PathArgument where = PathOf(path);
        path_ = where.text;
        converted_ = Unlocked(path_, *utf8_, [&] {
            // A version-1.0 upgrade works in a folder of its own, gone with it.
            const refhost::TempFolder upgradeFolder;
            auto record = V2Adapter::LoadForConversion(cli::PathArgument(where.bytes), upgradeFolder.Path());
            // The loader marks a record it upgraded from 1.0; no second probe of the file.
            version_ = record.GravadoEmVersaoAnterior() ? 1 : 2;
            return std::make_shared<cli::ConvertedRun>(cli::ConvertRecord(std::move(record), cli::DataHandOver::InMemory));
        });
        for (const auto& name : cli::ColumnNames(*converted_)) columns_.push_back((*utf8_)(name));
    }

    const clsRun& Record() const { return converted_->record; }
    std::string Text(const std::string& text) const { return (*utf8_)(text); }
    const std::string& Path() const { return path_; }
    double Version() const { return version_; }
    const std::vector<std::string>& Columns() const { return columns_; }

    py::object Frame(int which) {
        py::object& cached = frames_[which - 1];
        if (cached) return cached;
        const refhost::DataSet& data = converted_->run->Data(which);
        const std::size_t width = columns_.size();
        const std::size_t rows = data.Loaded() ? data.RecordCount() : 0;
        py::array_t<double> values({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(width)});
        double* out = values.mutable_data();
        Unlocked(path_, *utf8_, [&] {
            for (const refhost::DataRows& block : data.Blocks()) {
                if (block.values.size() == block.rowEnds.size() * width) {
                    std::memcpy(out, block.values.data(), block.values.size() * sizeof(double));
                    out += block.values.size();
                    continue;
                }
                // Records of other lengths: cut to the columns, or filled up with NaN.
                std::size_t start = 0;
                for (const std::size_t end : block.rowEnds) {
                    const std::size_t n = std::min(end - start, width);
                    std::copy_n(block.values.data() + start, n, out);
                    std::fill(out + n, out + width, std::numeric_limits<double>::quiet_NaN());
                    out += width;
                    start = end;
                }
            }
            return true;
        });
        cached = py::module_::import("pandas").attr("DataFrame")(values, "columns"_a = columns_, "copy"_a = false);
        return cached;
    }

    py::object ModelOf() {
        if (model_) return model_;
        const clsRun& record = Record();
        if (record.Karva().empty()) return py::none();
        std::vector<std::string> inputs(columns_.begin(), columns_.end() - 1);
        try {
            const auto names = cli::FieldNameList(record.FieldNames(), record.Separador_toString());
            model_ = py::cast(Model(Guarded([&] { return refhost::DecodeModel(record.Karva(), record.LinkingFunction()); }),
                                    inputs, columns_.back(), Text(record.Karva()),
                                    Text(Guarded([&] {
                                        return refhost::KarvaToFormula(record.Karva(), record.LinkingFunction(), names);
                                    })),
                                    record.LinkingFunction()));
        } catch (const ComError& e) {
            RaiseError(e, path_, *utf8_);
        }
        return model_;
    }

    // convert's JSON of the run, parsed.
    py::object ToDict() const {
        const std::string text = Unlocked(path_, *utf8_, [&] {
            // A converter of its own: another thread may be using the run's.
            const refhost::ToUtf8 utf8(encoding_);
            std::ostringstream out;
            refhost::WriteRunJson(out, *converted_->run, utf8);
            return out.str();
        });
        return py::module_::import("json").attr("loads")(py::bytes(text));
    }

    // convert's JSON of the run, written into a file as convert writes it.
    void WriteJson(const py::object& path) const {
        const PathArgument to = PathOf(path);
        Unlocked(to.text, *utf8_, [&] {
            cli::WriteRunJsonFile(to.bytes, *converted_->run, refhost::ToUtf8(encoding_));
            return true;
        });
    }

    // Every stored field and derived property of the legacy record.
    py::object RecordDict() const {
        const std::string text = cli::RecordToJson(Record(), *utf8_).dump();
        return py::module_::import("json").attr("loads")(py::bytes(text));
    }

private:
    std::string encoding_;
    std::unique_ptr<refhost::ToUtf8> utf8_;  // used with the GIL held
    std::string path_;
    double version_ = 0;
    std::shared_ptr<cli::ConvertedRun> converted_;
    std::vector<std::string> columns_;
    py::object frames_[2];
    py::object model_;
};

void Upgrade(const py::object& path, const py::object& outPath) {
    const PathArgument from = PathOf(path), to = PathOf(outPath);
    const refhost::ToUtf8 utf8("windows-1252");
    Unlocked(from.text, utf8, [&] {
        const refhost::TempFolder upgradeFolder;
        const clsRun run = V2Adapter::LoadForConversion(cli::PathArgument(from.bytes), upgradeFolder.Path());
        return clsFileParser().SaveKvr(cli::PathArgument(to.bytes), run);
    });
}

}  // namespace
}  // namespace orv::python

PYBIND11_MODULE(_orvconverter, m) {
    using namespace orv::python;
    using namespace pybind11::literals;
    m.doc() = "The native half of orvconverter; use the package orvconverter instead.";
    // A property or a model that raises gives orvconverter.Error too.
    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure) std::rethrow_exception(failure);
        } catch (const orv::ComError& e) {
            SetError(e, "", orv::refhost::ToUtf8("windows-1252"));
        }
    });

    py::class_<Model>(m, "Model", "The run's best model, computed on data.")
        .def("__call__", &Model::operator(), "data"_a,
             "The model's output for each row of data: a DataFrame (its independent variables taken by name,\n"
             "other columns ignored) or a 2-D array (its columns the independent variables in order).")
        .def("r_square", &Model::RSquare, "frame"_a,
             "R-square of the model on a DataFrame that holds the target too; None where it is undefined.")
        .def_property_readonly("karva", &Model::Karva, "The K-expression, genes joined.")
        .def_property_readonly("formula", &Model::Formula, "The model as a formula of the field names.")
        .def_property_readonly("linking_function", &Model::Linking, "What links the genes: \"+\" or \"*\".")
        .def_property_readonly("inputs", &Model::Inputs, "The independent variables' names, in order.")
        .def_property_readonly("target", &Model::Target, "The dependent variable's name.");

    py::class_<Run, std::shared_ptr<Run>> run(m, "Run", "A run file, read as a conversion reads it.");
    run.def(py::init<const py::object&, const std::string&>(), "path"_a, "encoding"_a = "windows-1252")
        .def_property_readonly("path", &Run::Path)
        .def_property_readonly("version", &Run::Version, "The file's format version: 1.0 or 2.0.")
        .def_property_readonly("columns", &Run::Columns, "The data sets' column names; the target is last.")
        .def_property_readonly("train", [](Run& r) { return r.Frame(1); }, "The training data as a DataFrame.")
        .def_property_readonly("test", [](Run& r) { return r.Frame(2); }, "The test data as a DataFrame.")
        .def_property_readonly("model", &Run::ModelOf, "The best model, or None when the run has none.")
        .def("to_dict", &Run::ToDict, "The converted run as `orvconvert convert` writes it in JSON.")
        .def("write_json", &Run::WriteJson, "path"_a,
             "Writes the converted run into the file at path as `orvconvert convert -o path` does.")
        .def("record", &Run::RecordDict, "Every field of the legacy run record, by its own name.");
    // The record's settings under Python names.
#define ORV_TEXT(name, Getter)                                                                  \
    run.def_property_readonly(name, [](const Run& r) { return r.Text(r.Record().Getter()); }, \
                              "The run record's " #Getter ".");
#define ORV_VALUE(name, Getter)                                                                 \
    run.def_property_readonly(name, [](const Run& r) { return r.Record().Getter(); },         \
                              "The run record's " #Getter ".");
    ORV_TEXT("key", Key)
    ORV_TEXT("author", Author)
    ORV_TEXT("comments", Comments)
    ORV_TEXT("category", Category_toString)
    ORV_TEXT("function_set", FunctionSet)
    ORV_TEXT("linking_function", LinkingFunction)
    ORV_TEXT("error_type", ErrorType_toString)
    ORV_TEXT("separator", Separador_toString)
    ORV_VALUE("generations", Geracoes)
    ORV_VALUE("chromosomes", Cromossomas)
    ORV_VALUE("genes", Genes)
    ORV_VALUE("head", Head)
    ORV_VALUE("gene_length", TamanhoGene)
    ORV_VALUE("chromosome_length", TamanhoCromossoma)
    ORV_VALUE("terminals", NumeroTerminais)
    ORV_VALUE("selection_range", SelectionRange)
    ORV_VALUE("precision", Precision)
    ORV_VALUE("mutation", Mutation)
    ORV_VALUE("one_point_recombination", OnePointRec)
    ORV_VALUE("two_point_recombination", TwoPointRec)
    ORV_VALUE("gene_recombination", GeneRec)
    ORV_VALUE("gene_transposition", GeneTransp)
    ORV_VALUE("is_transposition", ISTranspRate)
    ORV_VALUE("ris_transposition", RISTranspRate)
    ORV_VALUE("best_fitness_train", BestFitnessRun)
    ORV_VALUE("max_fitness_train", MaxFitnessRun)
    ORV_VALUE("r_square_train", rsQuareRun)
    ORV_VALUE("best_fitness_test", BestFitnessVal)
    ORV_VALUE("max_fitness_test", MaxFitnessVal)
    ORV_VALUE("r_square_test", RsquareVal)
#undef ORV_TEXT
#undef ORV_VALUE

    m.def("upgrade", &Upgrade, "path"_a, "out_path"_a,
          "Writes the run file at path (version 1.0 or 2.0) as a version-2.0 run file at out_path.");
}
