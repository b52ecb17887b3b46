#include <filesystem>

#include "common/ComError.h"
#include "common/Conversions.h"
#include "legacy_file/RunBlockTags.h"
#include "legacy_file/RunFileIO.h"
#include "legacy_file/clsFileParser.h"

namespace orv {

bool clsFileParser::PreencherRun(const String& tag, const String& value, clsRun& run) const {
    return Guarded([&] {
        const runblock::TagRow* row = runblock::FindTag(tag);
        if (!row) return false;
        row->read(run, value);
        return true;
    });
}

String clsFileParser::WriteRunBlock(const clsRun& run) const {
    return Guarded([&] {
        using runblock::Section;
        // Section lines around each group of rows; GOPS and STATE sit inside ATTR.
        struct Frame {
            Section section;
            std::string_view open, close;
        };
        static constexpr Frame kFrames[] = {
            {Section::Attr, "<ATTR>\r\n", ""},
            {Section::Gops, "<GOPS>\r\n", "</GOPS>\r\n"},
            {Section::State, "<STATE>\r\n", "</STATE>\r\n</ATTR>\r\n"},
            {Section::Evolved, "<EVOLVED>\r\n", "</EVOLVED>\r\n"},
            {Section::Id, "<ID>\r\n", "</ID>\r\n"},
        };
        String out = "<RUN>\r\n";
        for (const Frame& frame : kFrames) {
            out += frame.open;
            for (const runblock::TagRow& row : runblock::Tags()) {
                if (row.section != frame.section) continue;
                out.append("<").append(row.tag).append(">");
                out += row.write(run);
                out.append("</").append(row.tag).append(">\r\n");
            }
            out += frame.close;
        }
        out += "</RUN>\r\n";
        return out;
    });
}

bool clsFileParser::SaveKvr(const FilePath& FileName, const clsRun& theRun) const {
    return Guarded([&] {
        const String& key = theRun.Key();
        String text = "<ORV>\r\n<VERSION>2.0</VERSION>\r\n<NAME>" + key + "</NAME>\r\n";
        text += WriteRunBlock(theRun);
        text += "<VALUES>\r\n\r\n<TRAIN>\r\n";
        if (!theRun.TrainValues().empty()) text.append(theRun.TrainValues()).append("\r\n");
        text += "</TRAIN>\r\n<TEST>\r\n";
        if (!theRun.ValidationValues().empty()) text.append(theRun.ValidationValues()).append("\r\n");
        text += "</TEST>\r\n</VALUES>\r\n</ORV>\r\n";

        std::filesystem::path path = FileName.Native();
        const auto& name = path.native();
        const std::filesystem::path::string_type extension = std::filesystem::path(".kvr").native();
        if (name.size() <= extension.size() ||
            name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
            path += extension;
        runfile::WriteWholeFile(path, text);
        return true;
    });
}

}  // namespace orv
