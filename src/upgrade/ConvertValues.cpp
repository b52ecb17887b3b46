// The settings line of a version-1.0 run file, read into a run record.
#include <string_view>
#include <vector>

#include "common/Conversions.h"
#include "run_record/clsRun.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {

// Genes and the linking code are stored as the old file has them: the Genes
// setter would reset the linking function, and the linking code has no
// setter of its own.
struct Version1Settings {
    static void Genes(clsRun& run, Long value) { run.Genes_ = value; }
    static void LinkingCode(clsRun& run, Long value) { run.LinkingCode_ = value; }
    static void Element(clsRun::ElementList& list, std::size_t index, Long value) { list.at(index) = value; }
    static clsRun::ElementList& IS(clsRun& run) { return run.ISElems_; }
    static clsRun::ElementList& RIS(clsRun& run) { return run.RISElems_; }
};

namespace {

constexpr std::size_t kListedElements = 10;

std::vector<std::string_view> Split(std::string_view text, char at) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t hit = text.find(at, start);
        parts.push_back(text.substr(start, hit == std::string_view::npos ? std::string_view::npos : hit - start));
        if (hit == std::string_view::npos) return parts;
        start = hit + 1;
    }
}

class SettingsReader {
public:
    explicit SettingsReader(const String& line)
        : fields_(Split(line, '#')), separator_(v2LocaleSettings::DecimalSeparator()) {}

    // A missing field fails as the old reader's array index did.
    std::string_view Text(std::size_t i) const { return fields_.at(i); }
    Long Whole(std::size_t i) const { return TextToLong(Text(i), separator_); }
    Double Number(std::size_t i) const { return v2LocaleSettings::NumberFromText(String(Text(i)), separator_); }

    // Ten "@"-separated whole numbers into entries 0 to 9, one by one.
    void Elements(std::size_t i, clsRun::ElementList& list) const {
        const auto parts = Split(Text(i), '@');
        for (std::size_t k = 0; k < kListedElements; ++k)
            Version1Settings::Element(list, k, TextToLong(parts.at(k), separator_));
    }

private:
    std::vector<std::string_view> fields_;
    String separator_;
};

}  // namespace

Boolean clsRun::ConvertValues(const String& Values) {
    try {
        const SettingsReader in(Values);
        DataPath(String(in.Text(0)));
        Geracoes(in.Whole(1));
        Version1Settings::Genes(*this, in.Whole(2));
        Cromossomas(in.Whole(3));
        Head(in.Whole(4));
        Version1Settings::LinkingCode(*this, in.Whole(5));
        NumeroResultadosExp(in.Whole(6));
        NumeroResultadosValidar(in.Whole(7));
        NumeroTerminais(in.Whole(8));
        Precision(in.Number(9));
        ErrorType(DoubleToLong(in.Number(10)));
        SelectionRange(in.Number(11));
        Mutation(in.Number(12));
        OnePointRec(in.Number(13));
        TwoPointRec(in.Number(14));
        GeneRec(in.Number(15));
        GeneTransp(in.Number(16));
        FunctionSet(ReplaceAll(ReplaceAll(in.Text(17), "T", "G"), "P", "^"));
        ISTranspRate(in.Number(18));
        NumISElem(in.Whole(19));
        in.Elements(20, Version1Settings::IS(*this));
        RISTranspRate(in.Number(21));
        NumRISElem(in.Whole(22));
        in.Elements(23, Version1Settings::RIS(*this));
    } catch (const std::exception&) {
        // What was stored before the failing field stays stored.
        return false;
    }
    StopConditionIndex(2);
    StopConditionValue(1.0);
    ShowInteractive(true);
    return true;
}

}  // namespace orv
