#include "host/ReferenceHost.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "common/ComError.h"
#include "common/Conversions.h"
#include "platform/FilePath.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv::refhost {
namespace {

const char* const kSource = "ReferenceHost";

ComError HostError(std::int32_t number, const std::string& description) {
    return ComError(number, kSource, description);
}

ComError InvalidArgument(const std::string& what) { return HostError(5, "Invalid procedure call or argument: " + what); }

bool IsBlankLine(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

// Plain loops: fields and lines are a few characters long, shorter than a
// library search takes to start.
std::size_t LineEnd(std::string_view text, std::size_t start) {
    for (std::size_t i = start; i < text.size(); ++i)
        if (text[i] == '\r' || text[i] == '\n') return i;
    return std::string_view::npos;
}

std::size_t FindChar(std::string_view text, char c, std::size_t start) {
    for (std::size_t i = start; i < text.size(); ++i)
        if (text[i] == c) return i;
    return std::string_view::npos;
}

// Calls f(line, number) for every line of the file, read a piece at a time;
// CR LF, LF and lone CR end lines. Paths cross the host interfaces as ANSI
// text, as every text does.
template <class F>
void ForEachFileLine(const std::string& path, F&& f) {
    std::ifstream in(FilePath(path).Native(), std::ios::binary);
    if (!in) throw HostError(53, "File not found: " + path);
    constexpr std::size_t kChunk = 1 << 20;
    std::string buffer;
    std::size_t kept = 0, number = 1;  // kept: bytes of an unfinished line at the front
    for (bool atEnd = false; !atEnd;) {
        // A line longer than a piece doubles the buffer, so that it is read
        // and searched in linear time.
        const std::size_t want = std::max(kChunk, kept);
        buffer.resize(kept + want);
        in.read(buffer.data() + kept, static_cast<std::streamsize>(want));
        const auto got = static_cast<std::size_t>(in.gcount());
        atEnd = got < want;
        if (atEnd && in.bad()) throw HostError(57, "Cannot read " + path);
        const std::string_view text(buffer.data(), kept + got);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = LineEnd(text, start);
            // A CR last in the piece may be the first half of a CR LF.
            if (!atEnd && (end == std::string_view::npos || end + 1 == text.size())) break;
            if (end == std::string_view::npos) end = text.size();
            f(text.substr(start, end - start), number++);
            if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
            start = end + 1;
        }
        start = std::min(start, text.size());
        if (start > 0) std::memmove(buffer.data(), buffer.data() + start, text.size() - start);
        kept = text.size() - start;
    }
}

// Splits a line at the separator; a space separator also swallows runs of spaces.
template <class F>
void ForEachField(std::string_view line, std::string_view sep, F&& f) {
    if (sep == " ") {
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && line[i] == ' ') ++i;
            if (i == line.size()) break;
            const std::size_t end = std::min(FindChar(line, ' ', i), line.size());
            f(line.substr(i, end - i));
            i = end;
        }
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = sep.size() == 1 ? FindChar(line, sep[0], start) : line.find(sep, start);
        f(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + sep.size();
    }
}

}  // namespace

// ---- settings -------------------------------------------------------------

void RunSettings::PutValue(const SettingValue& value) {
    if (!selected_) throw HostError(91, "PutValue without a key selected by CheckKey");
    settings_[*selected_].value = value;
}

void RunSettings::PutKeyedValue(const host::KeyPair& key, const SettingValue& value) {
    if (key.section.empty() || key.name.empty()) throw InvalidArgument("empty setting section or name");
    Set(key.section + "#" + key.name, value);
}

bool RunSettings::CheckKey(const std::string& key) {
    const auto it = index_.find(key);
    if (it == index_.end()) {
        selected_.reset();
        return false;
    }
    selected_ = it->second;
    return true;
}

void RunSettings::Set(const std::string& key, const SettingValue& value) {
    const auto [it, added] = index_.emplace(key, settings_.size());
    if (added) settings_.push_back({key, value});
    else settings_[it->second].value = value;
}

const SettingValue* RunSettings::Find(const std::string& key) const {
    const auto it = index_.find(key);
    return it == index_.end() ? nullptr : &settings_[it->second].value;
}

// ---- data sets ------------------------------------------------------------

std::string DataSet::SeparatorText(std::int32_t separator) {
    switch (separator) {
        case 0: return " ";
        case 1: return "\t";
        case 2: return ",";
        case 3: return ";";
        default: throw InvalidArgument("separator code " + LongToText(separator));
    }
}

void DataSet::LoadFromFile(const std::string& path, std::int32_t separator, bool fieldNames, std::int32_t which) {
    if (which != 1 && which != 2) throw InvalidArgument("data set " + LongToText(which));
    const std::string sep = SeparatorText(separator);
    const std::string localeDecimal = v2LocaleSettings::DecimalSeparator();
    const std::string_view decimal = localeDecimal.empty() ? std::string_view(".") : std::string_view(localeDecimal);

    std::vector<std::string> names;
    std::vector<double> values;
    std::vector<std::size_t> rows{0};
    // Room for the whole file as the first megabyte suggests, so that the
    // values are not copied over and over as they grow; pages never used
    // cost no memory.
    std::error_code ec;
    const auto fileSize = static_cast<double>(std::filesystem::file_size(FilePath(path).Native(), ec));
    std::size_t bytesSeen = 0;
    bool sized = ec.value() != 0;
    bool header = fieldNames;
    ForEachFileLine(path, [&](std::string_view line, std::size_t number) {
        bytesSeen += line.size() + 1;
        if (!sized && bytesSeen >= (1u << 20)) {
            const double scale = fileSize / static_cast<double>(bytesSeen) * 1.05;
            values.reserve(static_cast<std::size_t>(static_cast<double>(values.size()) * scale) + 64);
            rows.reserve(static_cast<std::size_t>(static_cast<double>(rows.size()) * scale) + 64);
            sized = true;
        }
        if (IsBlankLine(line)) return;
        if (header) {
            ForEachField(line, sep, [&](std::string_view f) { names.emplace_back(TrimSpaces(f)); });
            header = false;
            return;
        }
        std::size_t field = 0;
        ForEachField(line, sep, [&](std::string_view f) {
            ++field;
            try {
                values.push_back(TextToDouble(f, decimal));
            } catch (const ComError& e) {
                if (e.Number() != err::kTypeMismatch) throw;
                throw HostError(err::kTypeMismatch, "Line " + std::to_string(number) + ", field " +
                                                        std::to_string(field) + ": '" + std::string(f) +
                                                        "' is not a number");
            }
        });
        rows.push_back(values.size());
    });

    separator_ = separator;
    fieldNames_ = std::move(names);
    values_ = std::move(values);
    rowStart_ = std::move(rows);
    loaded_ = true;
}

std::span<const double> DataSet::Fields(std::size_t r) const {
    if (r + 1 >= rowStart_.size()) throw ComError::SubscriptOutOfRange();
    return std::span<const double>(values_).subspan(rowStart_[r], rowStart_[r + 1] - rowStart_[r]);
}

std::vector<double> DataSet::Record(std::size_t r) const {
    const auto fields = Fields(r);
    return {fields.begin(), fields.end()};
}

// ---- models ---------------------------------------------------------------

void ModelList::SelectModel(std::int32_t number) {
    if (number < 1 || static_cast<std::size_t>(number) > models_.size())
        throw HostError(9, "No model number " + LongToText(number));
    selected_ = number;
}

void ModelList::AddModel(const std::shared_ptr<host::IModel>& model, const std::string& /*name*/) {
    auto own = std::dynamic_pointer_cast<Model>(model);
    if (!own) throw HostError(13, "AddModel takes a model of this host");
    if (own->number_ != 0) throw InvalidArgument("the model is already in a list");
    models_.push_back(own);
    own->number_ = static_cast<std::int32_t>(models_.size());
}

// ---- XML and function sets ------------------------------------------------

XmlDocument::XmlDocument() : document_(std::make_shared<pugi::xml_document>()) {}

bool XmlDocument::LoadXml(const std::string& text) {
    loaded_ = static_cast<bool>(document_->load_string(text.c_str()));
    if (!loaded_) document_->reset();
    return loaded_;
}

void FunctionSetObject::Initialise(host::IXmlDocument& document) {
    auto* own = dynamic_cast<XmlDocument*>(&document);
    if (!own) throw HostError(13, "Initialise takes a document of this host");
    if (!own->Document()->select_node("/Run/FunctionSet"))
        throw InvalidArgument("the document holds no Run/FunctionSet");
    entries_.clear();
    initialised_ = true;
}

void FunctionSetObject::RequireInitialised() const {
    if (!initialised_) throw HostError(91, "Function set not initialised");
}

FunctionEntry* FunctionSetObject::Lookup(const std::string& key) {
    RequireInitialised();
    for (auto& e : entries_)
        if (e.key == key) return &e;
    return nullptr;
}

bool FunctionSetObject::Contains(const std::string& key) { return Lookup(key) != nullptr; }

FunctionEntry FunctionSetObject::GetEntry(const std::string& key) {
    if (auto* e = Lookup(key)) return *e;
    throw InvalidArgument("no function " + key);
}

void FunctionSetObject::AddEntry(FunctionEntry& entry, std::int32_t /*zero*/) {
    if (Lookup(entry.key)) throw HostError(457, "This key is already associated with an element of this collection");
    entries_.push_back(entry);
}

void FunctionSetObject::UpdateEntry(FunctionEntry& entry) {
    auto* e = Lookup(entry.key);
    if (!e) throw InvalidArgument("no function " + entry.key);
    *e = entry;
}

// ---- temporary files ------------------------------------------------------

TempFolder::TempFolder() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "orvhost-" << std::hex << random() << random();
        auto candidate = base / name.str();
        if (std::filesystem::create_directory(candidate)) {
            std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace);
            path_ = std::move(candidate);
            return;
        }
    }
    throw HostError(75, "Cannot create a temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempFolder::NextFile() { return path_ / ("data" + std::to_string(++counter_) + ".txt"); }

std::string TempFileWriter::WriteTempFile(const std::string& text) {
    const auto file = folder_->NextFile();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw HostError(75, "Cannot write " + file.string());
    return FilePath(file).Text();
}

// ---- run and factory ------------------------------------------------------

Run::Run()
    : settings_(std::make_shared<RunSettings>()),
      dataSets_{std::make_shared<DataSet>(), std::make_shared<DataSet>()},
      models_(std::make_shared<ModelList>()) {}

void Run::SetFunctionSet(const std::shared_ptr<host::IFunctionSetObject>& set) {
    auto own = std::dynamic_pointer_cast<FunctionSetObject>(set);
    if (!own) throw HostError(13, "SetFunctionSet takes a function set of this host");
    functionSet_ = std::move(own);
}

void Run::PrepareDataSet(std::int32_t which) {
    if (which != 1 && which != 2) throw HostError(9, "No data set " + LongToText(which));
    dataSets_[which - 1] = std::make_shared<DataSet>();
}

std::shared_ptr<host::IDataSet> Run::GetDataSet(std::int32_t which) {
    if (which != 1 && which != 2) throw HostError(9, "No data set " + LongToText(which));
    return dataSets_[which - 1];
}

const DataSet& Run::Data(std::int32_t which) const {
    if (which != 1 && which != 2) throw HostError(9, "No data set " + LongToText(which));
    return *dataSets_[which - 1];
}

std::shared_ptr<host::ICatalogueSource> ReferenceHost::CreateCatalogueSource() {
    return std::make_shared<CatalogueSource>();
}
std::shared_ptr<host::IFunctionSetObject> ReferenceHost::CreateFunctionSetObject() {
    return std::make_shared<FunctionSetObject>();
}
std::shared_ptr<host::ITempFileWriter> ReferenceHost::CreateTempFileWriter() {
    return std::make_shared<TempFileWriter>(folder_);
}
std::shared_ptr<host::IModel> ReferenceHost::CreateModel() { return std::make_shared<Model>(); }
std::shared_ptr<host::IXmlDocument> ReferenceHost::CreateXmlDocument() { return std::make_shared<XmlDocument>(); }

}  // namespace orv::refhost
