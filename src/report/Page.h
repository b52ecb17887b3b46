// The report's pages: one self-contained HTML page per run (styles inline,
// charts as inline SVG, nothing fetched) and the index that links them.
// Every text handed over is plain UTF-8; the pages escape it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "report/Fit.h"
#include "report/History.h"
#include "report/Svg.h"

namespace orv::report {

using Rows = std::vector<std::pair<std::string, std::string>>;

struct DataSetView {
    std::string name;  // "Training", "Test"
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> firstRows;
    std::size_t records = 0;
    // The model on the records; none when it could not be computed.
    std::optional<FitSample> fit;
    std::optional<double> rSquare;
};

struct GeneView {
    std::string formula;
    std::string karva;  // the symbols its expression uses
    std::vector<TreeNode> tree;
};

struct RunView {
    std::string file;
    std::string key;
    std::string category;
    std::string author;
    std::string lastSaved;
    std::string comments;
    Rows summary;   // label and value, as `info` prints them
    Rows settings;  // the rest of the run's settings
    std::string formula;
    std::string karva;
    std::string linking;
    std::vector<GeneView> genes;
    std::string modelNote;  // why the model could not be evaluated, if so
    std::vector<DataSetView> data;
    History history;
    double generations = 0;
    double maxFitness = 0;
    std::optional<double> classThreshold;  // set for classification runs
    std::string errorType;                 // "Relative", "Absolute", "Rsquare" or "HitsNumber"
};

std::string RunPageHtml(const RunView& run);

struct IndexRow {
    std::string file;
    std::string page;  // empty for a run that failed
    std::string key;
    std::string category;
    std::string bestFitness;
    std::string rSquare;
    std::string error;
};

std::string IndexPageHtml(const std::vector<IndexRow>& rows);

}  // namespace orv::report
