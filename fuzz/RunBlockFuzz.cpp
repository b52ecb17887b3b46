// RUN-block tag lines: every line of the input (lines end at CR LF or a lone
// CR, as the loader reads them) is split and applied to one record, and the
// record's derived values and text forms are read. What was accepted and
// can be written must come back from the writer: once read back and
// written, the block is stable.
#include <vector>

#include "FuzzSupport.h"
#include "common/TextLines.h"
#include "legacy_file/clsFileParser.h"

namespace {

// Each line as the loader splits it.
template <class F>
void ForEachLine(std::string_view text, F&& f) {
    for (orv::LineCursor lines(text); !lines.AtEnd();) f(lines.Next());
}

void Apply(const orv::clsFileParser& parser, std::string_view text, orv::clsRun& run) {
    orv::String tag, value;
    ForEachLine(text, [&](std::string_view line) {
        if (!orv::clsFileParser::SplitTagLine(line, tag, value)) return;
        orv::fuzz::RaisesComError([&] { parser.PreencherRun(tag, value, run); });
    });
}

void ReadDerived(const orv::clsRun& run) {
    using orv::fuzz::RaisesComError;
    RaisesComError([&] { (void)run.TamanhoCromossoma(); });
    RaisesComError([&] { (void)run.MaxFitnessRun(); });
    RaisesComError([&] { (void)run.MaxFitnessVal(); });
    RaisesComError([&] { (void)run.FunctionSet_ValidaParaFormulaActual(); });
    RaisesComError([&] {
        std::vector<orv::Long> elements(10);
        run.ISTransp_GetArray(elements);
        run.RISTransp_GetArray(elements);
    });
    (void)run.Author();
    (void)run.Comments();
    (void)run.Separador_toString();
}

// The block read into a fresh record and written again.
orv::String ReadAndWrite(const orv::clsFileParser& parser, const orv::String& block) {
    orv::clsRun run;
    orv::String tag, value;
    ForEachLine(block, [&](std::string_view line) {
        if (orv::clsFileParser::SplitTagLine(line, tag, value)) parser.PreencherRun(tag, value, run);
    });
    return parser.WriteRunBlock(run);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const orv::clsFileParser parser;
    orv::clsRun run;
    Apply(parser, orv::fuzz::AsText(data, size), run);
    ReadDerived(run);

    // A record can be beyond writing (a maximum fitness that overflows);
    // that is an error, not a finding.
    orv::String first;
    if (orv::fuzz::RaisesComError([&] { first = parser.WriteRunBlock(run); })) return 0;
    // Numbers are written with fifteen digits, so the first cycle may round
    // (a maximum fitness computed from a rounded range moves in its last
    // digit); from then on the block must not change.
    const orv::String second = ReadAndWrite(parser, first);
    const orv::String third = ReadAndWrite(parser, second);
    if (third != second) std::fprintf(stderr, "written:\n%s\nread back and written:\n%s\n", second.c_str(), third.c_str());
    ORV_FUZZ_CHECK(third == second);
    return 0;
}
