// A small, real implementation of the version-3 run model: what the
// command-line tool converts into. Runs, settings, data sets and models live
// in memory; the native functions come from an XML catalogue of our own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "adapter/HostInterfaces.h"
#include "host/DataText.h"

namespace pugi {
class xml_document;
}

namespace orv::refhost {

using host::FunctionEntry;
using host::SettingValue;

// Settings keyed "section#name", kept in the order they were first put.
class RunSettings : public host::IRunSettings {
public:
    struct Setting {
        std::string key;
        SettingValue value;
    };

    void PutValue(const SettingValue& value) override;  // into the key CheckKey selected
    void PutKeyedValue(const host::KeyPair& key, const SettingValue& value) override;
    // True when the key exists; it is then the one PutValue writes.
    bool CheckKey(const std::string& key) override;

    void Set(const std::string& key, const SettingValue& value);
    const SettingValue* Find(const std::string& key) const;
    const std::vector<Setting>& All() const { return settings_; }

private:
    std::vector<Setting> settings_;
    std::unordered_map<std::string, std::size_t> index_;
    std::optional<std::size_t> selected_;
};

class TempFolder;

// One data set: numbers row by row, as read from a data file.
class DataSet : public host::IDataSet {
public:
    DataSet() = default;
    // files: where the host's writers put their data files, so that one kept
    // in memory is read from there.
    explicit DataSet(std::shared_ptr<TempFolder> files) : files_(std::move(files)) {}
    // Reads the whole file: an optional line of field names, then one record
    // per line, fields split by the separator, numbers in the user's locale.
    void LoadFromFile(const std::string& path, std::int32_t separator, bool fieldNames,
                      std::int32_t which) override;
    // 0 space, 1 tab, 2 ",", 3 ";".
    std::string SeparatorText(std::int32_t separator) override;

    bool Loaded() const { return loaded_; }
    std::int32_t Separator() const { return separator_; }
    const std::vector<std::string>& FieldNames() const { return fieldNames_; }
    std::size_t RecordCount() const { return firstRows_.empty() ? 0 : firstRows_.back(); }
    // The fields of record r (from 0).
    std::vector<double> Record(std::size_t r) const;
    std::span<const double> Fields(std::size_t r) const;
    // The records in blocks, in order: each block's rowEnds end its records in its values.
    const std::vector<DataRows>& Blocks() const { return blocks_; }

private:
    std::shared_ptr<TempFolder> files_;
    bool loaded_ = false;
    std::int32_t separator_ = 0;
    std::vector<std::string> fieldNames_;
    // The records in blocks as the pieces of the file were read: no block is
    // copied into a whole.
    std::vector<DataRows> blocks_;
    std::vector<std::size_t> firstRows_;  // block b holds records [firstRows_[b], firstRows_[b + 1])
};

class Model : public host::IModel {
public:
    std::int32_t GetNumber() override { return number_; }
    void SetFlagB(std::int32_t value) override { flagB_ = value; }
    void SetFlagA(std::int32_t value) override { flagA_ = value; }
    void SetTrainBestFitness(double value) override { stats_.trainBestFitness = value; }
    void SetTestBestFitness(double value) override { stats_.testBestFitness = value; }
    void SetTrainMaxFitness(double value) override { stats_.trainMaxFitness = value; }
    void SetTestMaxFitness(double value) override { stats_.testMaxFitness = value; }
    void SetTrainRSquare(double value) override { stats_.trainRSquare = value; }
    void SetTestRSquare(double value) override { stats_.testRSquare = value; }
    void AttachRun(const std::shared_ptr<host::ITargetRun>& run) override { run_ = run; }
    void SetProgram(const std::vector<std::int32_t>& program) override { program_ = program; }

    struct Statistics {
        double trainBestFitness = 0, trainRSquare = 0, trainMaxFitness = 0;
        double testBestFitness = 0, testRSquare = 0, testMaxFitness = 0;
    };
    std::int32_t FlagA() const { return flagA_; }
    std::int32_t FlagB() const { return flagB_; }
    const std::vector<std::int32_t>& Program() const { return program_; }
    const Statistics& Stats() const { return stats_; }
    bool Attached() const { return !run_.expired(); }

private:
    friend class ModelList;
    std::int32_t number_ = 0;  // given when the model joins a list
    std::int32_t flagA_ = 0;
    std::int32_t flagB_ = 0;
    std::vector<std::int32_t> program_;
    Statistics stats_;
    std::weak_ptr<host::ITargetRun> run_;  // the run owns its models, not the other way round
};

// Models numbered from 1 in the order they were added.
class ModelList : public host::IModelList {
public:
    void SelectModel(std::int32_t number) override;
    void AddModel(const std::shared_ptr<host::IModel>& model, const std::string& name) override;

    const std::vector<std::shared_ptr<Model>>& Models() const { return models_; }
    std::int32_t Selected() const { return selected_; }

private:
    std::vector<std::shared_ptr<Model>> models_;
    std::int32_t selected_ = 0;
};

class XmlDocument : public host::IXmlDocument {
public:
    XmlDocument();
    void SetAsync(bool async) override { async_ = async; }
    bool LoadXml(const std::string& text) override;
    const std::shared_ptr<pugi::xml_document>& Document() const { return document_; }
    bool Loaded() const { return loaded_; }

private:
    std::shared_ptr<pugi::xml_document> document_;
    bool async_ = true;
    bool loaded_ = false;
};

// The native functions chosen for a run, one entry per key.
class FunctionSetObject : public host::IFunctionSetObject {
public:
    // Takes a document holding Run/FunctionSet.
    void Initialise(host::IXmlDocument& document) override;
    bool Contains(const std::string& key) override;
    FunctionEntry GetEntry(const std::string& key) override;
    void AddEntry(FunctionEntry& entry, std::int32_t zero) override;
    void UpdateEntry(FunctionEntry& entry) override;

    const std::vector<FunctionEntry>& Entries() const { return entries_; }

private:
    FunctionEntry* Lookup(const std::string& key);
    void RequireInitialised() const;
    bool initialised_ = false;
    std::vector<FunctionEntry> entries_;
};

// The catalogue of native functions: sections of an XML document of ours.
class CatalogueSource : public host::ICatalogueSource {
public:
    void Open() override;
    std::shared_ptr<host::IXmlNode> GetSection(const std::string& name) override;

private:
    std::shared_ptr<pugi::xml_document> document_;
};

// The catalogue document the host ships with; exposed for formula printing.
const std::string& NativeCatalogueXml();

// A private folder for the data files of one host, removed with the host;
// or, for a host that keeps them in memory, no folder at all: a data set
// then takes its file's text from here, without a write and a read of it.
class TempFolder {
public:
    TempFolder();
    struct InMemory {};
    explicit TempFolder(InMemory) noexcept : inMemory_(true) {}
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path NextFile();

    bool KeptInMemory() const noexcept { return inMemory_; }
    // A file held in memory: its text, after a head of whole lines (a names
    // line) that is kept apart so that it costs no copy of the text.
    struct HeldFile {
        std::string head, text;
    };
    // Holds a new file of head and text in memory and answers its name.
    std::string Keep(std::string text, std::string head = {});
    // A file held in memory, handed over once; none for a name not held here.
    std::optional<HeldFile> Take(const std::string& name);

private:
    std::filesystem::path path_;
    std::uint64_t counter_ = 0;
    bool inMemory_ = false;
    std::unordered_map<std::string, HeldFile> held_;
};

class TempFileWriter : public host::ITempFileWriter {
public:
    explicit TempFileWriter(std::shared_ptr<TempFolder> folder) : folder_(std::move(folder)) {}
    std::string WriteTempFile(const std::string& text) override;
    std::string WriteOwnedTempFile(const std::string& head, std::string&& text) override;

private:
    std::string WriteFile(std::string_view head, const std::string& text);
    std::shared_ptr<TempFolder> folder_;
};

class Run : public host::ITargetRun {
public:
    // files: the host's data files, where its data sets look for the ones
    // kept in memory.
    explicit Run(std::shared_ptr<TempFolder> files = nullptr);
    std::shared_ptr<host::IModelList> GetModels() override { return models_; }
    std::shared_ptr<host::IRunSettings> GetSettings() override { return settings_; }
    void SetKey(const std::string& key) override { key_ = key; }
    void SetAuthor(const std::string& author) override { author_ = author; }
    void SetComments(const std::string& comments) override { comments_ = comments; }
    void SetFunctionSet(const std::shared_ptr<host::IFunctionSetObject>& set) override;
    void PrepareDataSet(std::int32_t which) override;
    std::shared_ptr<host::IDataSet> GetDataSet(std::int32_t which) override;

    const std::string& Key() const { return key_; }
    const std::string& Author() const { return author_; }
    const std::string& Comments() const { return comments_; }
    RunSettings& Settings() { return *settings_; }
    const RunSettings& Settings() const { return *settings_; }
    const FunctionSetObject* FunctionSet() const { return functionSet_.get(); }
    const DataSet& Data(std::int32_t which) const;
    const ModelList& Models() const { return *models_; }

private:
    std::string key_, author_, comments_;
    std::shared_ptr<TempFolder> files_;
    std::shared_ptr<RunSettings> settings_;
    std::shared_ptr<FunctionSetObject> functionSet_;
    std::shared_ptr<DataSet> dataSets_[2];
    std::shared_ptr<ModelList> models_;
};

// Creates the host's classes; all data files of its writers go into one
// private folder that lives as long as the host, or stay in memory.
class ReferenceHost : public host::IHostFactory {
public:
    ReferenceHost() : folder_(std::make_shared<TempFolder>()) {}
    explicit ReferenceHost(TempFolder::InMemory m) : folder_(std::make_shared<TempFolder>(m)) {}
    std::shared_ptr<Run> CreateRun() { return std::make_shared<Run>(folder_); }

    std::shared_ptr<host::ICatalogueSource> CreateCatalogueSource() override;
    std::shared_ptr<host::IFunctionSetObject> CreateFunctionSetObject() override;
    std::shared_ptr<host::ITempFileWriter> CreateTempFileWriter() override;
    std::shared_ptr<host::IModel> CreateModel() override;
    std::shared_ptr<host::IXmlDocument> CreateXmlDocument() override;

    const std::filesystem::path& TempPath() const { return folder_->Path(); }

private:
    std::shared_ptr<TempFolder> folder_;
};

}  // namespace orv::refhost
