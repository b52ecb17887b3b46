#include "run_record/clsRun.h"

#include <cmath>
#include <limits>
#include <string_view>

#include "common/ComError.h"
#include "common/Conversions.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv {
namespace {

constexpr Long kErrInvalidErrorType = 2001;
constexpr Long kErrInvalidLinking = 1001;

// Escape table in the order the setter applies it; the getter undoes it in
// the same order.
struct Escape {
    std::string_view plain;
    std::string_view held;
};
constexpr Escape kEscapes[] = {
    {"<", " &lt "}, {">", " &gt "}, {"\\", " &sl "}, {"\"", " &asp "}, {"\r\n", " &crlf "},
};

String EscapeText(const String& text) {
    String s = text;
    for (const auto& e : kEscapes) s = ReplaceAll(s, e.plain, e.held);
    return s;
}

String UnescapeText(const String& text) {
    String s = text;
    for (const auto& e : kEscapes) s = ReplaceAll(s, e.held, e.plain);
    return s;
}

Long CheckedLong(std::int64_t v) {
    if (v < std::numeric_limits<Long>::min() || v > std::numeric_limits<Long>::max()) throw ComError::Overflow();
    return static_cast<Long>(v);
}

String ElementsToText(const clsRun::ElementList& list) {
    String s;
    for (int i = 0; i < 10; ++i) {
        s += LongToText(list[static_cast<std::size_t>(i)]);
        s += '@';
    }
    s.pop_back();
    return s;
}

void ElementsFromText(clsRun::ElementList& list, const String& text) {
    std::string_view t = text;
    if (!t.empty() && t.back() == '@') t.remove_suffix(1);
    for (int i = 0; i < 10; ++i) list[static_cast<std::size_t>(i)] = 0;
    if (t.empty()) return;
    const String sep = v2LocaleSettings::DecimalSeparator();
    std::size_t index = 0, start = 0;
    for (;;) {
        const std::size_t at = t.find('@', start);
        const std::string_view part = t.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start);
        if (index >= list.size()) throw ComError::SubscriptOutOfRange();
        list[index++] = TextToLong(part, sep);
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
}

void CopyElements(const clsRun::ElementList& list, Long count, std::vector<Long>& out) {
    if (out.size() < 10) throw ComError::SubscriptOutOfRange();
    for (std::size_t i = 0; i < 10; ++i) out[i] = 0;
    if (count < 0) return;
    for (Long i = 0; i <= count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (k >= list.size() || k >= out.size()) throw ComError::SubscriptOutOfRange();
        out[k] = list[k];
    }
}

Double MaxFitness(Long errorType, Double selectionRange, Long n) {
    switch (errorType) {
        case 2: return 1000.0;
        case 3: return static_cast<Double>(n);
        default: {
            const Double v = selectionRange * static_cast<Double>(n);
            if (!std::isfinite(v)) throw ComError::Overflow();
            return v;
        }
    }
}

}  // namespace

void clsRun::Novo() {
    Geracoes_ = 0;
    Genes_ = 3;
    Cromossomas_ = 50;
    Head_ = 8;
    LinkingCode_ = 0;
    NumeroResultadosExp_ = TextToLong("10", ".");
    OnePointRec_ = 0.3;
    TwoPointRec_ = 0.3;
    GeneRec_ = 0.1;
    GeneTransp_ = 0.1;
    Precision_ = 0.0;
    ErrorType_ = 0;
    SelectionRange_ = 100.0;
    Mutation_ = 0.044;
    NumeroTerminais_ = 1;
    FunctionSet_ = "+-*/";
    ClassThreshold(0.5);
    StopConditionValue(1.0);
    StopConditionIndex(3);
    ShowInteractive(true);
}

void clsRun::Genes(Long value) {
    Genes_ = value;
    if (value == 1) LinkingCode_ = 0;
}

String clsRun::LinkingFunction() const { return LinkingCode_ == 1 ? "*" : "+"; }

void clsRun::LinkingFunction(const String& text) {
    if (text == "+") LinkingCode_ = 0;
    else if (text == "*") LinkingCode_ = 1;
    else throw ComError(kErrInvalidLinking, "", "Invalid Linking Function - " + LongToText(LinkingCode_));
}

Long clsRun::ErrorType() const {
    if (ErrorType_ < 0 || ErrorType_ > 3) throw ComError(kErrInvalidErrorType, "", "Invalid Error type.");
    return ErrorType_;
}

void clsRun::ErrorType(Long code) {
    if (code < 0 || code > 3) throw ComError(kErrInvalidErrorType, "", "Invalid Error type.");
    ErrorType_ = code;
}

String clsRun::ErrorType_toString() const {
    switch (ErrorType_) {
        case 1: return "Absolute";
        case 2: return "Rsquare";
        case 3: return "HitsNumber";
        default: return "Relative";
    }
}

void clsRun::ErrorType_fromString(const String& text) {
    if (text == "Absolute") ErrorType_ = 1;
    else if (text == "Relative") ErrorType_ = 0;
    else if (text == "Rsquare") ErrorType_ = 2;
    else if (text == "HitsNumber") ErrorType_ = 3;
    else ErrorType_ = 0;
}

String clsRun::Category_toString() const {
    switch (Category_) {
        case 0: return "FunctionFinding";
        case 1: return "Classification";
        default: return "";
    }
}

void clsRun::Category_fromString(const String& text) {
    if (text == "Classification") {
        Category_ = 1;
        ShowFullErrors_ = false;
    } else {
        Category_ = 0;
    }
}

String clsRun::Separador_toString() const {
    switch (Separador_) {
        case 0: return " ";
        case 1: return ";";
        case 2: return "\t";
        case 3: return ",";
        default: return "";
    }
}

String clsRun::Author() const { return UnescapeText(Author_); }
void clsRun::Author(const String& text) { Author_ = EscapeText(text); }
String clsRun::Comments() const { return UnescapeText(Comments_); }
void clsRun::Comments(const String& text) { Comments_ = EscapeText(text); }

Double clsRun::MaxFitnessRun() const { return MaxFitness(ErrorType_, SelectionRange_, NumeroResultadosExp_); }
void clsRun::MaxFitnessRun(Double value) { MaxFitnessRunStored_ = value; }

Double clsRun::MaxFitnessVal() const {
    if (NumeroResultadosValidar_ == 0) return 0.0;
    return MaxFitness(ErrorType_, SelectionRange_, NumeroResultadosValidar_);
}
void clsRun::MaxFitnessVal(Double value) { MaxFitnessValStored_ = value; }

Long clsRun::FactorLargura() const noexcept { return FunctionSet_.empty() ? 0 : 2; }

Long clsRun::TamanhoGene() const {
    const std::int64_t h = Head_;
    const std::int64_t n = FactorLargura();
    const Long tail = CheckedLong(std::int64_t{CheckedLong(h * CheckedLong(n - 1))} + 1);
    return CheckedLong(h + tail);
}

Long clsRun::TamanhoCromossoma() const {
    return CheckedLong(static_cast<std::int64_t>(TamanhoGene()) * Genes_);
}

String clsRun::Kexpression() const {
    String s = Karva_;
    if (s.find(" + ") != String::npos) s = ReplaceAll(s, " + ", "");
    else if (s.find(" * ") != String::npos) s = ReplaceAll(s, " * ", "");
    return String(TrimSpaces(s));
}

Boolean clsRun::FunctionSet_ValidaParaFormulaActual() const { return ValidarUmaFunctionSet(FunctionSet_); }

Boolean clsRun::ValidarUmaFunctionSet(const String& aFunctionSet) const {
    for (char c : Kexpression()) {
        if (c == 'd' || (c >= '0' && c <= '9')) continue;
        if (aFunctionSet.find(c) == String::npos) return false;
    }
    return true;
}

String clsRun::ISElements() const { return ElementsToText(ISElems_); }
void clsRun::ISElements(const String& text) { ElementsFromText(ISElems_, text); }
String clsRun::RISElements() const { return ElementsToText(RISElems_); }
void clsRun::RISElements(const String& text) { ElementsFromText(RISElems_, text); }

void clsRun::ISTransp_GetArray(std::vector<Long>& ISelems) const { CopyElements(ISElems_, NumISElem_, ISelems); }
void clsRun::RISTransp_GetArray(std::vector<Long>& RISelems) const { CopyElements(RISElems_, NumRISElem_, RISelems); }

std::array<Double, 6> clsRun::ArrayGops() const {
    return {Mutation_, GeneTransp_, GeneRec_, OnePointRec_, TwoPointRec_, 0.0};
}

}  // namespace orv
