#include "cli/RecordJson.h"

#include "common/ComError.h"

namespace orv::cli {
namespace {

using Json = nlohmann::ordered_json;

struct Converter {
    const ToUtf8& toUtf8;
    Json operator()(const String& v) const { return toUtf8(v); }
    Json operator()(Long v) const { return v; }
    Json operator()(Double v) const { return v; }
    Json operator()(Boolean v) const { return v; }
    Json operator()(const clsRun::ElementList& v) const { return Json(v); }
};

// A getter that raises (an out-of-range code, an overflowing size) shows as
// null instead of failing the whole dump.
template <class Getter>
Json OrNull(const Converter& convert, Getter&& get) {
    try {
        return convert(get());
    } catch (const ComError&) {
        return nullptr;
    }
}

}  // namespace

Json RecordToJson(const clsRun& run, const ToUtf8& toUtf8) {
    const Converter convert{toUtf8};
    Json j = Json::object();
#define ORV_DUMP_FIELD(Type, Name) j[#Name] = convert(run.Name());
    ORV_CLSRUN_PLAIN_FIELDS(ORV_DUMP_FIELD)
#undef ORV_DUMP_FIELD
#define ORV_DUMP(Name) j[#Name] = OrNull(convert, [&] { return run.Name(); });
    ORV_DUMP(Genes)
    ORV_DUMP(LinkingFunction)
    ORV_DUMP(ErrorType)
    ORV_DUMP(Author)
    ORV_DUMP(Comments)
    ORV_DUMP(ISElementValues)
    ORV_DUMP(RISElementValues)
    ORV_DUMP(Erro)
    ORV_DUMP(ErroDescr)
    ORV_DUMP(ErroNumber)
    // Derived properties and text forms.
    ORV_DUMP(Category_toString)
    ORV_DUMP(ErrorType_toString)
    ORV_DUMP(Separador_toString)
    ORV_DUMP(Author_Serialize)
    ORV_DUMP(Comments_Serialize)
    ORV_DUMP(ISElements)
    ORV_DUMP(RISElements)
    ORV_DUMP(FactorLargura)
    ORV_DUMP(TamanhoGene)
    ORV_DUMP(TamanhoCromossoma)
    ORV_DUMP(Kexpression)
    ORV_DUMP(MaxFitnessRun)
    ORV_DUMP(MaxFitnessVal)
    ORV_DUMP(FunctionSet_ValidaParaFormulaActual)
#undef ORV_DUMP
    return j;
}

}  // namespace orv::cli
