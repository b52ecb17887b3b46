#include "host/HostJson.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "common/ComError.h"
#include "common/Conversions.h"
#include "common/PairedWork.h"
#include "platform/Platform.h"

namespace orv::refhost {
namespace {

Json DataSetJson(const DataSet& data, std::int32_t which, const ToUtf8& toUtf8, bool withRecords) {
    Json j;
    j["which"] = which;
    j["loaded"] = data.Loaded();
    j["separator"] = data.Separator();
    Json names = Json::array();
    for (const auto& n : data.FieldNames()) names.push_back(toUtf8(n));
    j["fieldNames"] = std::move(names);
    if (!withRecords) return j;
    Json records = Json::array();
    for (std::size_t r = 0; r < data.RecordCount(); ++r) records.push_back(data.Record(r));
    j["records"] = std::move(records);
    return j;
}

// Text going out through a buffer of about a megabyte, written in place.
class JsonStream {
public:
    explicit JsonStream(std::ostream& out) : out_(out), buffer_(kSize, '\0') {}
    JsonStream(const JsonStream&) = delete;
    JsonStream& operator=(const JsonStream&) = delete;

    // Room for n more characters; Commit tells where the writing ended.
    char* Reserve(std::size_t n) {
        if (used_ + n > buffer_.size()) {
            Flush();
            if (n > buffer_.size()) buffer_.resize(n);
        }
        return buffer_.data() + used_;
    }
    void Commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }

    JsonStream& operator<<(std::string_view text) {
        if (text.size() >= kSize) {  // a block of records: no copy into the buffer
            Flush();
            out_.write(text.data(), static_cast<std::streamsize>(text.size()));
            return *this;
        }
        char* at = Reserve(text.size());
        std::memcpy(at, text.data(), text.size());
        Commit(at + text.size());
        return *this;
    }
    // A small value as dump(2) lays it out at the given depth.
    void Value(const Json& value, std::size_t depth) {
        std::string text = value.dump(2);
        std::string newline(2 * depth + 1, ' ');
        newline[0] = '\n';
        if (text.find('\n') != std::string::npos) text = ReplaceAll(text, "\n", newline);
        *this << text;
    }
    void Flush() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(used_));
        used_ = 0;
    }

private:
    static constexpr std::size_t kSize = 1 << 20;
    std::ostream& out_;
    std::string buffer_;
    std::size_t used_ = 0;
};

// The shortest text that reads back as the number; a whole number keeps its
// ".0", as Json writes numbers of floating-point type. At most 40 characters.
char* WriteNumber(char* at, double v) {
    if (!std::isfinite(v)) return std::copy_n("null", 4, at);
    char* end = ShortestDoubleChars(at, at + 40, v);
    // Any text of a number with a fraction has a point or an exponent.
    if (std::fabs(v) < 1e15 && static_cast<double>(static_cast<std::int64_t>(v)) != v) return end;
    if (std::find_if(at, end, [](char c) { return c == '.' || c == 'e'; }) == end) end = std::copy_n(".0", 2, end);
    return end;
}

// Rows [first, last) of a data set, one per line, each line but the first
// of the set led by a comma.
struct RecordLines {
    std::size_t first = 0, last = 0;
    std::unique_ptr<char[]> text;  // not cleared first: every character used is written
    std::size_t capacity = 0, size = 0;
};

// Walks the records of a data set in order from a first one, block by block,
// without looking each one up.
class RecordCursor {
public:
    RecordCursor(const DataSet& data, std::size_t first) : blocks_(data.Blocks()) {
        while (block_ < blocks_.size() && first >= blocks_[block_].rowEnds.size()) first -= blocks_[block_++].rowEnds.size();
        row_ = first;
    }
    std::span<const double> Next() {
        const DataRows& block = blocks_[block_];
        const std::size_t start = row_ == 0 ? 0 : block.rowEnds[row_ - 1];
        const std::span<const double> fields(block.values.data() + start, block.rowEnds[row_] - start);
        if (++row_ == block.rowEnds.size()) {
            ++block_;
            row_ = 0;
        }
        return fields;
    }

private:
    const std::vector<DataRows>& blocks_;
    std::size_t block_ = 0, row_ = 0;
};

void FormatRecords(const DataSet& data, std::string_view rowStart, RecordLines& lines) {
    if (lines.last > data.RecordCount()) throw ComError::SubscriptOutOfRange();
    std::size_t most = 0;
    RecordCursor sizing(data, lines.first);
    for (std::size_t r = lines.first; r < lines.last; ++r) most += rowStart.size() + 4 + sizing.Next().size() * 42;
    if (most > lines.capacity) {
        lines.text.reset(new char[most]);
        lines.capacity = most;
        platform::PreferLargePages(lines.text.get(), most);
    }
    char* p = lines.text.get();
    RecordCursor records(data, lines.first);
    for (std::size_t r = lines.first; r < lines.last; ++r) {
        const auto fields = records.Next();
        const std::string_view start = r == 0 ? rowStart.substr(1) : rowStart;
        p = std::copy(start.begin(), start.end(), p);
        *p++ = '[';
        for (std::size_t f = 0; f < fields.size(); ++f) {
            *p++ = f == 0 ? ' ' : ',';
            if (f > 0) *p++ = ' ';
            p = WriteNumber(p, fields[f]);
        }
        if (!fields.empty()) *p++ = ' ';
        *p++ = ']';
    }
    lines.size = static_cast<std::size_t>(p - lines.text.get());
}

void WriteRecords(JsonStream& out, const DataSet& data, std::size_t depth) {
    if (data.RecordCount() == 0) {
        out << "[]";
        return;
    }
    const std::string rowStart = ",\n" + std::string(2 * (depth + 1), ' ');
    out << "[";
    // Blocks of rows are formatted two at a time, on two threads.
    constexpr std::size_t kBlockRows = 1 << 15;
    std::size_t next = 0;
    PairedWork<RecordLines>(
        [&](RecordLines& block) {
            block.first = next;
            block.last = next = std::min(next + kBlockRows, data.RecordCount());
            return block.first < block.last;
        },
        [&](RecordLines& block) { FormatRecords(data, rowStart, block); },
        [&](RecordLines& block) { out << std::string_view(block.text.get(), block.size); });
    out << "\n" << std::string(2 * depth, ' ') << "]";
}

// The members of an object at the given depth, its opening brace already
// written; `member` writes the ones it takes and answers false for the rest.
template <class F>
void WriteMembers(JsonStream& out, const Json& object, std::size_t depth, F&& member) {
    const std::string indent(2 * (depth + 1), ' ');
    bool first = true;
    for (const auto& [key, value] : object.items()) {
        out << (first ? "\n" : ",\n") << indent;
        out.Value(key, depth + 1);
        out << ": ";
        if (!member(key, value)) out.Value(value, depth + 1);
        first = false;
    }
}

}  // namespace

void AddSettingValue(Json& object, const host::SettingValue& value, const ToUtf8& toUtf8) {
    object["type"] = value.typeCode;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::int32_t>) {
                object["vt"] = "I4";
                object["value"] = v;
            } else if constexpr (std::is_same_v<T, std::int16_t>) {
                object["vt"] = "I2";
                object["value"] = v;
            } else if constexpr (std::is_same_v<T, double>) {
                object["vt"] = "R8";
                object["value"] = v;
            } else {
                object["vt"] = "BSTR";
                object["value"] = toUtf8(v);
            }
        },
        value.value);
}

Json EntryJson(const host::FunctionEntry& e, const ToUtf8& toUtf8) {
    return Json{{"code", e.code},
                {"count", e.count},
                {"attr3", e.attr3},
                {"reserved1", e.reserved1},
                {"selected", e.selected},
                {"reserved2", e.reserved2},
                {"attr0", toUtf8(e.attr0)},
                {"key", toUtf8(e.key)},
                {"content2", toUtf8(e.content2)},
                {"content1", toUtf8(e.content1)},
                {"spare", toUtf8(e.spare)}};
}

Json RunJson(const Run& run, const ToUtf8& toUtf8, bool withRecords) {
    Json j;
    j["key"] = toUtf8(run.Key());
    j["author"] = toUtf8(run.Author());
    j["comments"] = toUtf8(run.Comments());
    Json entries = Json::array();
    if (const auto* set = run.FunctionSet())
        for (const auto& e : set->Entries()) entries.push_back(EntryJson(e, toUtf8));
    j["functionSet"] = std::move(entries);
    Json settings = Json::object();
    for (const auto& s : run.Settings().All()) {
        Json v;
        AddSettingValue(v, s.value, toUtf8);
        settings[toUtf8(s.key)] = std::move(v);
    }
    j["settings"] = std::move(settings);
    j["dataSets"] = Json::array({DataSetJson(run.Data(1), 1, toUtf8, withRecords), DataSetJson(run.Data(2), 2, toUtf8, withRecords)});
    Json models = Json::array();
    for (const auto& m : run.Models().Models()) {
        const auto& s = m->Stats();
        models.push_back(Json{{"number", m->GetNumber()},
                              {"flagA", m->FlagA()},
                              {"flagB", m->FlagB()},
                              {"program", m->Program()},
                              {"statistics",
                               {{"trainBestFitness", s.trainBestFitness},
                                {"trainRSquare", s.trainRSquare},
                                {"trainMaxFitness", s.trainMaxFitness},
                                {"testBestFitness", s.testBestFitness},
                                {"testRSquare", s.testRSquare},
                                {"testMaxFitness", s.testMaxFitness}}}});
    }
    j["models"] = std::move(models);
    j["selectedModel"] = run.Models().Selected();
    return j;
}

void WriteRunJson(std::ostream& out, const Run& run, const ToUtf8& toUtf8) {
    JsonStream json(out);
    json << "{";
    WriteMembers(json, RunJson(run, toUtf8, false), 0, [&](const std::string& key, const Json& sets) {
        if (key != "dataSets") return false;
        json << "[";
        for (std::size_t i = 0; i < sets.size(); ++i) {
            json << (i == 0 ? "\n    {" : ",\n    {");
            WriteMembers(json, sets[i], 2, [](const std::string&, const Json&) { return false; });
            json << ",\n      \"records\": ";
            WriteRecords(json, run.Data(static_cast<std::int32_t>(i + 1)), 3);
            json << "\n    }";
        }
        json << "\n  ]";
        return true;
    });
    json << "\n}";
    json.Flush();
}

}  // namespace orv::refhost
