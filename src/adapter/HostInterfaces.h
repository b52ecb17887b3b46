// The host's version-3 objects as the adapter sees them: one narrow interface
// per host object, with the operations the conversion calls and nothing more.
// The reference host implements them in C++; the COM server implements them
// as bridges over the host's COM interfaces, one operation per vtable slot.
//
// Texts are the core's ANSI bytes. A failing operation raises ComError; a
// bridge raises the host's own failure code and error information so that
// they reach the caller unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace orv::host {

// The value of one run setting and how the host is to take it.
using SettingVariant = std::variant<std::int32_t, std::int16_t, double, std::string>;
struct SettingValue {
    SettingVariant value;
    std::int32_t typeCode = 0;
};

// A setting key split at "#".
struct KeyPair {
    std::string section;
    std::string name;
};

// One native function of the host's function set, field for field as the
// host lays it out.
struct FunctionEntry {
    std::int32_t code = 0;
    std::int32_t count = 0;
    std::int32_t attr3 = 0;
    std::int32_t reserved1 = 0;
    bool selected = false;  // a 16-bit Boolean at the host (true = -1)
    std::int16_t reserved2 = 0;
    std::string attr0;
    std::string key;
    std::string content2;
    std::string content1;
    std::string spare;
};

// The slice of an XML DOM the catalogue walk needs.
class IXmlNode {
public:
    virtual ~IXmlNode() = default;
    virtual std::shared_ptr<IXmlNode> FirstChild() = 0;   // null when none
    virtual std::shared_ptr<IXmlNode> NextSibling() = 0;  // null when none
    virtual std::int32_t AttributeCount() = 0;
    // Text of the attribute at a position in document order; raises 91 when
    // there is no attribute there.
    virtual std::string AttributeText(std::int32_t position) = 0;
    virtual std::string Text() = 0;
    // How many child elements have this name (the XPath of a plain name).
    virtual std::int32_t CountChildren(const std::string& name) = 0;
};

class IXmlDocument {
public:
    virtual ~IXmlDocument() = default;
    virtual void SetAsync(bool async) = 0;
    virtual bool LoadXml(const std::string& text) = 0;
};

class ICatalogueSource {
public:
    virtual ~ICatalogueSource() = default;
    virtual void Open() = 0;                                               // slot 0
    virtual std::shared_ptr<IXmlNode> GetSection(const std::string& name) = 0;  // slot 2
};

class IFunctionSetObject {
public:
    virtual ~IFunctionSetObject() = default;
    virtual void Initialise(IXmlDocument& document) = 0;             // slot 24
    virtual bool Contains(const std::string& key) = 0;               // slot 27
    virtual FunctionEntry GetEntry(const std::string& key) = 0;      // slot 33
    virtual void AddEntry(FunctionEntry& entry, std::int32_t zero) = 0;  // slot 38
    virtual void UpdateEntry(FunctionEntry& entry) = 0;              // slot 39
};

class ITempFileWriter {
public:
    virtual ~ITempFileWriter() = default;
    // Writes the text to a new file and answers its path.
    virtual std::string WriteTempFile(const std::string& text) = 0;  // slot 6
    // The same for head followed by a text the caller gives up, which a host
    // may keep as they are rather than join them.
    virtual std::string WriteOwnedTempFile(const std::string& head, std::string&& text) {
        text.insert(0, head);
        return WriteTempFile(text);
    }
};

class IRunSettings {
public:
    virtual ~IRunSettings() = default;
    virtual void PutValue(const SettingValue& value) = 0;                           // slot 3
    virtual void PutKeyedValue(const KeyPair& key, const SettingValue& value) = 0;  // slot 19
    virtual bool CheckKey(const std::string& key) = 0;                              // slot 24
};

class IDataSet {
public:
    virtual ~IDataSet() = default;
    virtual void LoadFromFile(const std::string& path, std::int32_t separator, bool fieldNames,
                              std::int32_t which) = 0;                // slot 8
    virtual std::string SeparatorText(std::int32_t separator) = 0;  // slot 15
};

class ITargetRun;

class IModel {
public:
    virtual ~IModel() = default;
    virtual std::int32_t GetNumber() = 0;                                 // slot 3
    virtual void SetFlagB(std::int32_t value) = 0;                        // slot 4
    virtual void SetFlagA(std::int32_t value) = 0;                        // slot 6
    virtual void SetTrainBestFitness(double value) = 0;                   // slot 8
    virtual void SetTestBestFitness(double value) = 0;                    // slot 10
    virtual void SetTrainMaxFitness(double value) = 0;                    // slot 12
    virtual void SetTestMaxFitness(double value) = 0;                     // slot 14
    virtual void SetTrainRSquare(double value) = 0;                       // slot 16
    virtual void SetTestRSquare(double value) = 0;                        // slot 18
    virtual void AttachRun(const std::shared_ptr<ITargetRun>& run) = 0;   // slot 33
    virtual void SetProgram(const std::vector<std::int32_t>& program) = 0;  // slot 38
};

class IModelList {
public:
    virtual ~IModelList() = default;
    virtual void SelectModel(std::int32_t number) = 0;  // slot 9
    // Adds the model; the item the host answers is released unused.
    virtual void AddModel(const std::shared_ptr<IModel>& model, const std::string& name) = 0;  // slot 11
};

class ITargetRun {
public:
    virtual ~ITargetRun() = default;
    virtual std::shared_ptr<IModelList> GetModels() = 0;                            // slot 0
    virtual std::shared_ptr<IRunSettings> GetSettings() = 0;                        // slot 22
    virtual void SetKey(const std::string& key) = 0;                                // slot 25
    virtual void SetAuthor(const std::string& author) = 0;                          // slot 27
    virtual void SetComments(const std::string& comments) = 0;                      // slot 29
    virtual void SetFunctionSet(const std::shared_ptr<IFunctionSetObject>& set) = 0;  // slot 41
    virtual void PrepareDataSet(std::int32_t which) = 0;                            // slot 44
    virtual std::shared_ptr<IDataSet> GetDataSet(std::int32_t which) = 0;           // slot 45
};

// Creates the host classes the conversion needs, each new per use: the
// stand-in for creating a class by its GUID.
class IHostFactory {
public:
    virtual ~IHostFactory() = default;
    virtual std::shared_ptr<ICatalogueSource> CreateCatalogueSource() = 0;
    virtual std::shared_ptr<IFunctionSetObject> CreateFunctionSetObject() = 0;
    virtual std::shared_ptr<ITempFileWriter> CreateTempFileWriter() = 0;
    virtual std::shared_ptr<IModel> CreateModel() = 0;
    virtual std::shared_ptr<IXmlDocument> CreateXmlDocument() = 0;
};

}  // namespace orv::host
