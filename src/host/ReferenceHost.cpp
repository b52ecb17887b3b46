#include "host/ReferenceHost.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

#include "common/ComError.h"
#include "common/Conversions.h"
#include "common/PairedWork.h"
#include "host/DataText.h"
#include "platform/FilePath.h"
#include "platform/Platform.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv::refhost {
namespace {

const char* const kSource = "ReferenceHost";

ComError HostError(std::int32_t number, const std::string& description) {
    return ComError(number, kSource, description);
}

ComError InvalidArgument(const std::string& what) { return HostError(5, "Invalid procedure call or argument: " + what); }

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

    // A file kept in memory is read from there; others from the disk.
    std::optional<TempFolder::HeldFile> held = files_ ? files_->Take(path) : std::nullopt;
    std::ifstream in;
    std::uintmax_t left = 0;
    if (!held) {
        in.open(FilePath(path).Native(), std::ios::binary);
        if (!in) throw HostError(53, "File not found: " + path);
        // What is left to read, when the file tells: a small file is read
        // into a buffer of its own size, not of a whole piece.
        std::error_code sizeError;
        left = std::filesystem::file_size(FilePath(path).Native(), sizeError);
        if (sizeError) left = std::numeric_limits<std::uintmax_t>::max();
    }

    // The file is read a piece of whole lines at a time; the pieces are
    // parsed on two threads (PairedWork) and kept, in order, as blocks.
    struct Piece {
        std::string buffer;     // a piece read from the disk
        std::string_view text;  // the piece's whole lines
        DataRows rows;
        double valuesPerByte = 0, rowsPerByte = 0;  // as the pieces before had them
    };
    double valuesPerByte = 0, rowsPerByte = 0;
    constexpr std::size_t kPiece = 1 << 22;
    std::string carry;  // the start of a line that the last piece cut
    bool atEnd = false;
    std::size_t heldAt = 0;
    bool headRead = false;
    const auto nextHeld = [&](Piece& piece) {
        piece.valuesPerByte = valuesPerByte;
        piece.rowsPerByte = rowsPerByte;
        if (!headRead) {  // whole lines, a piece of their own
            headRead = true;
            if (!held->head.empty()) {
                piece.text = held->head;
                return true;
            }
        }
        if (heldAt >= held->text.size()) return false;
        const std::string_view rest = std::string_view(held->text).substr(heldAt);
        std::size_t length = rest.size();
        if (length > kPiece) {
            length = WholeLinesLength(rest.substr(0, kPiece), false);
            if (length == 0) {  // a line longer than a piece: up to its end
                const std::size_t end = rest.find_first_of("\r\n", kPiece);
                length = end == std::string_view::npos ? rest.size()
                         : end + (rest.compare(end, 2, "\r\n") == 0 ? 2 : 1);
            }
        }
        piece.text = rest.substr(0, length);
        heldAt += length;
        return true;
    };
    const auto nextRead = [&](Piece& piece) {
        if (atEnd && carry.empty()) return false;
        piece.buffer.swap(carry);
        carry.clear();
        piece.valuesPerByte = valuesPerByte;
        piece.rowsPerByte = rowsPerByte;
        for (;;) {
            const std::size_t kept = piece.buffer.size();
            // A line longer than a piece grows the piece, in linear time;
            // one character more than is left finds the end at once.
            std::size_t want = std::max(kPiece, kept);
            if (left <= want) want = static_cast<std::size_t>(left) + 1;
            piece.buffer.resize(kept + want);
            in.read(piece.buffer.data() + kept, static_cast<std::streamsize>(want));
            const auto got = static_cast<std::size_t>(in.gcount());
            left -= std::min<std::uintmax_t>(left, got);
            piece.buffer.resize(kept + got);
            atEnd = got < want;
            if (!atEnd && left == 0) left = std::numeric_limits<std::uintmax_t>::max();  // it grew: read on as if untold
            if (atEnd && in.bad()) throw HostError(57, "Cannot read " + path);
            const std::size_t whole = WholeLinesLength(piece.buffer, atEnd);
            if (whole > 0 || atEnd) {
                carry.assign(piece.buffer, whole);
                piece.buffer.resize(whole);
                piece.text = piece.buffer;
                return true;
            }
        }
    };
    const auto next = [&](Piece& piece) { return held ? nextHeld(piece) : nextRead(piece); };

    std::vector<DataRows> blocks;
    std::vector<std::size_t> firstRows{0};
    std::vector<std::string> names;
    std::size_t linesBefore = 0;
    bool namesPending = fieldNames;
    const auto use = [&](Piece& piece) {
        if (piece.rows.failure) ThrowDataFailure(piece.rows, linesBefore);
        linesBefore += piece.rows.lines;
        if (!piece.rows.names.empty()) names = std::move(piece.rows.names);
        if (piece.rows.rowEnds.empty()) return;
        valuesPerByte = static_cast<double>(piece.rows.values.size()) / static_cast<double>(piece.text.size());
        rowsPerByte = static_cast<double>(piece.rows.rowEnds.size()) / static_cast<double>(piece.text.size());
        firstRows.push_back(firstRows.back() + piece.rows.rowEnds.size());
        blocks.push_back(std::move(piece.rows));
    };
    const auto parse = [&](Piece& piece, bool& pending) {
        piece.rows = DataRows{};
        // Room for what the pieces before suggest, so that the values are
        // not copied over as they grow.
        const auto bytes = static_cast<double>(piece.text.size()) * 1.05;
        piece.rows.values.reserve(static_cast<std::size_t>(bytes * piece.valuesPerByte) + 16);
        piece.rows.rowEnds.reserve(static_cast<std::size_t>(bytes * piece.rowsPerByte) + 16);
        platform::PreferLargePages(piece.rows.values.data(), piece.rows.values.capacity() * sizeof(double));
        platform::PreferLargePages(piece.rows.rowEnds.data(), piece.rows.rowEnds.capacity() * sizeof(std::size_t));
        ReadDataLines(piece.text, sep, decimal, pending, piece.rows);
        // A file held in memory is read once, front to back: what is read
        // goes, so that its text and its values are not held whole at once.
        if (held && piece.text.data() != held->head.data())
            platform::ReleasePages(held->text.data() + (piece.text.data() - held->text.data()), piece.text.size());
    };

    // Until the names line is read, one piece at a time: it is the first
    // line that is not blank, wherever that falls.
    for (Piece first; namesPending && next(first);) {
        parse(first, namesPending);
        use(first);
    }
    PairedWork<Piece>(next, [&](Piece& piece) {
        bool noNames = false;
        parse(piece, noNames);
    }, use);

    separator_ = separator;
    fieldNames_ = std::move(names);
    blocks_ = std::move(blocks);
    firstRows_ = std::move(firstRows);
    loaded_ = true;
}

std::span<const double> DataSet::Fields(std::size_t r) const {
    if (r >= RecordCount()) throw ComError::SubscriptOutOfRange();
    const auto b = static_cast<std::size_t>(std::upper_bound(firstRows_.begin(), firstRows_.end(), r) - firstRows_.begin()) - 1;
    const DataRows& block = blocks_[b];
    const std::size_t i = r - firstRows_[b];
    const std::size_t start = i == 0 ? 0 : block.rowEnds[i - 1];
    return std::span<const double>(block.values).subspan(start, block.rowEnds[i] - start);
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
    if (inMemory_) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempFolder::NextFile() { return path_ / ("data" + std::to_string(++counter_) + ".txt"); }

std::string TempFolder::Keep(std::string text, std::string head) {
    // A head that ends inside a line is joined: its line goes on in the text.
    if (!head.empty() && head.back() != '\n') {
        text.insert(0, head);
        head.clear();
    }
    std::string name = "memory:data" + std::to_string(++counter_) + ".txt";
    held_[name] = {std::move(head), std::move(text)};
    return name;
}

std::optional<TempFolder::HeldFile> TempFolder::Take(const std::string& name) {
    const auto it = held_.find(name);
    if (it == held_.end()) return std::nullopt;
    std::optional<HeldFile> file(std::move(it->second));
    held_.erase(it);
    return file;
}

std::string TempFileWriter::WriteOwnedTempFile(const std::string& head, std::string&& text) {
    if (folder_->KeptInMemory()) return folder_->Keep(std::move(text), head);
    return WriteFile(head, text);
}

std::string TempFileWriter::WriteTempFile(const std::string& text) {
    if (folder_->KeptInMemory()) return folder_->Keep(text);
    return WriteFile({}, text);
}

std::string TempFileWriter::WriteFile(std::string_view head, const std::string& text) {
    const auto file = folder_->NextFile();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(head.data(), static_cast<std::streamsize>(head.size()));
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw HostError(75, "Cannot write " + file.string());
    return FilePath(file).Text();
}

// ---- run and factory ------------------------------------------------------

Run::Run(std::shared_ptr<TempFolder> files)
    : files_(std::move(files)),
      settings_(std::make_shared<RunSettings>()),
      dataSets_{std::make_shared<DataSet>(files_), std::make_shared<DataSet>(files_)},
      models_(std::make_shared<ModelList>()) {}

void Run::SetFunctionSet(const std::shared_ptr<host::IFunctionSetObject>& set) {
    auto own = std::dynamic_pointer_cast<FunctionSetObject>(set);
    if (!own) throw HostError(13, "SetFunctionSet takes a function set of this host");
    functionSet_ = std::move(own);
}

void Run::PrepareDataSet(std::int32_t which) {
    if (which != 1 && which != 2) throw HostError(9, "No data set " + LongToText(which));
    dataSets_[which - 1] = std::make_shared<DataSet>(files_);
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
