#include "legacy_file/RunBlockTags.h"

#include <array>
#include <cmath>

#include "common/Conversions.h"
#include "legacy_file/clsFileParser.h"
#include "platform/Platform.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv::runblock {
namespace {

// How an undefined R-square was spelt by files saved under a "," locale.
constexpr std::string_view kUndefinedRsquare = "-1,#IND";

Long ReadLong(const String& v) { return TextToLong(v, v2LocaleSettings::DecimalSeparator()); }
Boolean ReadBoolean(const String& v) { return TextToBool(v, v2LocaleSettings::DecimalSeparator()); }
Double ReadDouble(const String& v) { return clsFileParser::ReadNumber(v); }
Double ReadRsquare(const String& v) { return v == kUndefinedRsquare ? -1.0 : clsFileParser::ReadNumber(v); }

String WriteLong(Long v) { return LongToText(v); }
String WriteBoolean(Boolean v) { return v ? "True" : "False"; }
String WriteDouble(Double v) {
    // An undefined value is written in the one spelling the reader knows.
    if (std::isnan(v)) return String(kUndefinedRsquare);
    return DoubleToText(v, v2LocaleSettings::DecimalSeparator());
}

}  // namespace

#define ORV_ROW(TAG, SECTION, KIND, READ, WRITE)                                  \
    TagRow {                                                                      \
        TAG, Section::SECTION, Kind::KIND, [](clsRun& r, const String& v) { READ; }, \
            [](const clsRun& r) -> String { return WRITE; }                       \
    }
#define ORV_LONG(TAG, SECTION, PROP) ORV_ROW(TAG, SECTION, Long, r.PROP(ReadLong(v)), WriteLong(r.PROP()))
#define ORV_DOUBLE(TAG, SECTION, PROP) ORV_ROW(TAG, SECTION, Double, r.PROP(ReadDouble(v)), WriteDouble(r.PROP()))
#define ORV_BOOLEAN(TAG, SECTION, PROP) ORV_ROW(TAG, SECTION, Boolean, r.PROP(ReadBoolean(v)), WriteBoolean(r.PROP()))
#define ORV_TEXT(TAG, SECTION, PROP) ORV_ROW(TAG, SECTION, Text, r.PROP(v), r.PROP())

namespace {
const std::array<TagRow, 45> kTags = {
    ORV_LONG("GENERATIONS", Attr, Geracoes),
    ORV_LONG("CHROMOSOMES", Attr, Cromossomas),
    ORV_ROW("FUNCSET", Attr, Text, r.FunctionSet(DecodeAngleBrackets(v)), EncodeAngleBrackets(r.FunctionSet())),
    ORV_LONG("GENES", Attr, Genes),
    ORV_LONG("HEAD", Attr, Head),
    ORV_ROW("LFUNCTION", Attr, TextForm, r.LinkingFunction(v), r.LinkingFunction()),
    ORV_ROW("CATEGORY", Attr, TextForm, r.Category_fromString(v), r.Category_toString()),
    ORV_ROW("ERRTYPE", Attr, TextForm, r.ErrorType_fromString(v), r.ErrorType_toString()),
    ORV_DOUBLE("PRECISION", Attr, Precision),
    ORV_DOUBLE("SELRANGE", Attr, SelectionRange),
    ORV_DOUBLE("THRESHOLD", Attr, ClassThreshold),
    ORV_LONG("TERMINALS", Attr, NumeroTerminais),
    ORV_LONG("NUMRESTRAIN", Attr, NumeroResultadosExp),
    ORV_LONG("NUMRESTRAINDISP", Attr, TrainingNumeroValoresFicheiro),
    ORV_LONG("NUMRESTEST", Attr, NumeroResultadosValidar),
    ORV_DOUBLE("MUTATION", Gops, Mutation),
    ORV_DOUBLE("ONEPREC", Gops, OnePointRec),
    ORV_DOUBLE("TWOPREC", Gops, TwoPointRec),
    ORV_DOUBLE("GENREC", Gops, GeneRec),
    ORV_DOUBLE("GENETR", Gops, GeneTransp),
    ORV_DOUBLE("IS", Gops, ISTranspRate),
    ORV_LONG("NIS", Gops, NumISElem),
    ORV_ROW("EIS", Gops, TextForm, r.ISElements(v), r.ISElements()),
    ORV_DOUBLE("RIS", Gops, RISTranspRate),
    ORV_LONG("NRIS", Gops, NumRISElem),
    ORV_ROW("ERIS", Gops, TextForm, r.RISElements(v), r.RISElements()),
    ORV_TEXT("TRAINFILEPATH", State, TrainPathFile),
    ORV_TEXT("TESTFILEPATH", State, ValPathFile),
    ORV_LONG("SEPCHAR", State, Separador),
    ORV_LONG("STOPCONDINDEX", State, StopConditionIndex),
    ORV_DOUBLE("STOPCONDVALUE", State, StopConditionValue),
    ORV_BOOLEAN("SHOWINTERACTIVE", State, ShowInteractive),
    ORV_BOOLEAN("SHOWFULLERRORS", State, ShowFullErrors),
    ORV_ROW("FIELDNAMES", State, Text, (r.FieldNames(v), r.FieldNamesExistem(!v.empty())), r.FieldNames()),
    ORV_ROW("KARVA", Evolved, Text, r.Karva(DecodeAngleBrackets(v)), EncodeAngleBrackets(r.Karva())),
    ORV_DOUBLE("TRNBESTFIT", Evolved, BestFitnessRun),
    ORV_DOUBLE("TRNMAXFIT", Evolved, MaxFitnessRun),
    ORV_ROW("TRNRSQ", Evolved, Double, r.rsQuareRun(ReadRsquare(v)), WriteDouble(r.rsQuareRun())),
    ORV_DOUBLE("TESTBESTFIT", Evolved, BestFitnessVal),
    ORV_DOUBLE("TESTMAXFIT", Evolved, MaxFitnessVal),
    // Legacy files carry an undefined test R-square too; read it as the training one.
    ORV_ROW("TESTRSQ", Evolved, Double, r.RsquareVal(ReadRsquare(v)), WriteDouble(r.RsquareVal())),
    ORV_TEXT("EVOLHISTORY", Evolved, EvolveHistory),
    ORV_ROW("AUTHOR", Id, TextForm, r.Author(v), r.Author_Serialize()),
    // The save date is written, never the record's own.
    ORV_ROW("LASTSAVED", Id, Text, r.LastSaved(v), ((void)r, platform::TodayShortDate())),
    ORV_ROW("COMMENTS", Id, TextForm, r.Comments(v), r.Comments_Serialize()),
};
}  // namespace

#undef ORV_TEXT
#undef ORV_BOOLEAN
#undef ORV_DOUBLE
#undef ORV_LONG
#undef ORV_ROW

std::span<const TagRow> Tags() { return kTags; }

const TagRow* FindTag(std::string_view tag) {
    for (const TagRow& row : kTags)
        if (row.tag == tag) return &row;
    return nullptr;
}

String EncodeAngleBrackets(const String& text) {
    if (text.find_first_of("<>") == String::npos) return text;
    return ReplaceAll(ReplaceAll(text, "<", "w"), ">", "W");
}

String DecodeAngleBrackets(const String& text) {
    if (text.find_first_of("wW") == String::npos) return text;
    return ReplaceAll(ReplaceAll(text, "w", "<"), "W", ">");
}

}  // namespace orv::runblock
