// The legacy run record: every setting and result of one run of the
// workbench, held as a property bag with the few checked or derived
// properties the file format and the conversion rely on.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orv {

using Long = std::int32_t;
using Double = double;
using Boolean = bool;
using String = std::string;

// Stored fields whose getter and setter keep the value as given:
// X(Type, Name). The order is the record's declared order; the fields with a
// behaviour of their own (Genes, LinkingFunction, ErrorType, the element lists,
// MaxFitnessRun/Val, Author, Comments, the error state) are declared below.
#define ORV_CLSRUN_PLAIN_FIELDS(X)              \
    X(String, DataPath)                         \
    X(Long, Geracoes)                           \
    X(Long, Cromossomas)                        \
    X(String, FunctionSet)                      \
    X(Long, Head)                               \
    X(Double, Precision)                        \
    X(Double, SelectionRange)                   \
    X(Double, ClassThreshold)                   \
    X(Long, NumeroTerminais)                    \
    X(Long, NumeroResultadosExp)                \
    X(Long, NumeroResultadosValidar)            \
    X(Double, Mutation)                         \
    X(Double, OnePointRec)                      \
    X(Double, TwoPointRec)                      \
    X(Double, GeneRec)                          \
    X(Double, GeneTransp)                       \
    X(Double, ISTranspRate)                     \
    X(Long, NumISElem)                          \
    X(Double, RISTranspRate)                    \
    X(Long, NumRISElem)                         \
    X(String, Karva)                            \
    X(Double, BestFitnessRun)                   \
    X(Double, rsQuareRun)                       \
    X(Double, BestFitnessVal)                   \
    X(Double, RsquareVal)                       \
    X(String, LastSaved)                        \
    X(String, Key)                              \
    X(Boolean, Modificado)                      \
    X(String, TrainValues)                      \
    X(String, ValidationValues)                 \
    X(String, ResultsValuesTrain)               \
    X(String, ErrorValuesTrain)                 \
    X(String, ResultsValuesVal)                 \
    X(String, ErrorValuesVal)                   \
    X(String, PathFile)                         \
    X(Long, Separador)                          \
    X(String, TrainPathFile)                    \
    X(String, ValPathFile)                      \
    X(String, CalcPathFile)                     \
    X(String, EvolveHistory)                    \
    X(Long, Category)                           \
    X(Long, HitRateRun)                         \
    X(Long, HitRateVal)                         \
    X(Long, MaxHitRateRun)                      \
    X(Long, MaxHitRateVal)                      \
    X(Long, StopConditionIndex)                 \
    X(Double, StopConditionValue)               \
    X(Boolean, MudouEstado)                     \
    X(Boolean, MudouEstruturaKexpression)       \
    X(Double, MaxFitnessAnterior)               \
    X(Double, MaxFitnessAnteriorTest)           \
    X(Boolean, ShowInteractive)                 \
    X(Boolean, ShowFullErrors)                  \
    X(Boolean, Graph3D)                         \
    X(Long, GraphSet)                           \
    X(Long, TrainingNumeroValoresFicheiro)      \
    X(Boolean, GravadoEmVersaoAnterior)         \
    X(String, FieldNames)                       \
    X(Boolean, FieldNamesExistem)

class clsRun {
public:
    static constexpr int kElementCount = 11;  // element lists hold indexes 0 to 10
    using ElementList = std::array<Long, kElementCount>;

    clsRun() = default;

    // Hands the data text over and leaves it empty, for a caller that has
    // no further use for the record's own copy.
    String TakeTrainValues() noexcept { return std::exchange(TrainValues_, String()); }
    String TakeValidationValues() noexcept { return std::exchange(ValidationValues_, String()); }

    // Defaults of a new run. Genes and ErrorType are written directly, so
    // neither the Genes side effect nor the ErrorType check applies.
    void Novo();

    // Parses a version-1 settings record ("#"-separated, 24 fields) into this
    // record; false at the first field that fails, keeping what was stored.
    Boolean ConvertValues(const String& Values);

    // The setter swaps, so that the old value (a data text of many
    // megabytes) is freed when the setter returns, also when the new one is
    // empty: moving an empty text in would keep the old one's memory.
#define ORV_CLSRUN_ACCESSORS(Type, Name)                  \
    const Type& Name() const noexcept { return Name##_; } \
    void Name(Type value) {                               \
        using std::swap;                                  \
        swap(Name##_, value);                             \
    }
    ORV_CLSRUN_PLAIN_FIELDS(ORV_CLSRUN_ACCESSORS)
#undef ORV_CLSRUN_ACCESSORS

    // Setting 1 also resets the linking function to "+".
    Long Genes() const noexcept { return Genes_; }
    void Genes(Long value);

    // "+" (code 0) or "*" (code 1); anything else raises 1001.
    String LinkingFunction() const;
    void LinkingFunction(const String& text);

    // Codes 0 to 3; the setter and the getter raise 2001 for anything else.
    Long ErrorType() const;
    void ErrorType(Long code);
    String ErrorType_toString() const;
    void ErrorType_fromString(const String& text);

    String Category_toString() const;
    void Category_fromString(const String& text);
    String Separador_toString() const;

    // Held escaped; the getters unescape, the _Serialize forms return them as held.
    String Author() const;
    void Author(const String& text);
    const String& Author_Serialize() const noexcept { return Author_; }
    String Comments() const;
    void Comments(const String& text);
    const String& Comments_Serialize() const noexcept { return Comments_; }

    // Derived on every read; the setters accept a value and ignore it.
    Double MaxFitnessRun() const;
    void MaxFitnessRun(Double value);
    Double MaxFitnessVal() const;
    void MaxFitnessVal(Double value);

    // Chromosome architecture (32-bit arithmetic; 6 on overflow).
    Long FactorLargura() const noexcept;
    Long TamanhoGene() const;
    Long TamanhoCromossoma() const;
    String Kexpression() const;
    Boolean FunctionSet_ValidaParaFormulaActual() const;
    Boolean ValidarUmaFunctionSet(const String& aFunctionSet) const;

    // Element lists: "@"-joined text of indexes 0 to 9.
    String ISElements() const;
    void ISElements(const String& text);
    String RISElements() const;
    void RISElements(const String& text);
    // Copies count + 1 values into the caller's array (indexes from 0).
    void ISTransp_GetArray(std::vector<Long>& ISelems) const;
    void RISTransp_GetArray(std::vector<Long>& RISelems) const;
    const ElementList& ISElementValues() const noexcept { return ISElems_; }
    const ElementList& RISElementValues() const noexcept { return RISElems_; }
    // Mutation, GeneTransp, GeneRec, OnePointRec, TwoPointRec, 0.
    std::array<Double, 6> ArrayGops() const;

    // The record's error state: never set by anything, so always clear.
    Boolean Erro() const noexcept { return Erro_; }
    const String& ErroDescr() const noexcept { return ErroDescr_; }
    Long ErroNumber() const noexcept { return ErroNumber_; }

private:
#define ORV_CLSRUN_FIELD(Type, Name) Type Name##_{};
    ORV_CLSRUN_PLAIN_FIELDS(ORV_CLSRUN_FIELD)
#undef ORV_CLSRUN_FIELD

    friend struct Version1Settings;  // stores Genes and the linking code directly

    Long Genes_ = 0;
    Long LinkingCode_ = 0;
    Long ErrorType_ = 0;
    ElementList ISElems_{};
    ElementList RISElems_{};
    Double MaxFitnessRunStored_ = 0.0;  // kept only because the setter accepts it
    Double MaxFitnessValStored_ = 0.0;
    String Author_;
    String Comments_;
    Boolean Erro_ = false;
    String ErroDescr_;
    Long ErroNumber_ = 0;
};

}  // namespace orv
