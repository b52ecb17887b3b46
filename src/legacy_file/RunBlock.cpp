#include <filesystem>

#include "common/ComError.h"
#include "common/Conversions.h"
#include "legacy_file/RunBlockTags.h"
#include "legacy_file/RunFileIO.h"
#include "legacy_file/clsFileParser.h"
#include "upgrade/v2LocaleSettings.h"

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
        const v2LocaleSettings::OperationSeparator separator;
        // Written piece by piece: the values texts go out as they stand, not
        // through a second copy of the whole file.
        String head = "<ORV>\r\n<VERSION>2.0</VERSION>\r\n<NAME>" + theRun.Key() + "</NAME>\r\n";
        head += WriteRunBlock(theRun);
        head += "<VALUES>\r\n\r\n<TRAIN>\r\n";

        std::filesystem::path path = FileName.Native();
        const auto& name = path.native();
        const std::filesystem::path::string_type extension = std::filesystem::path(".kvr").native();
        if (name.size() <= extension.size() ||
            name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
            path += extension;
        runfile::FileWriter out(path);
        out.Write(head);
        const auto values = [&out](const String& text) {
            if (text.empty()) return;
            out.Write(text);
            out.Write("\r\n");
        };
        values(theRun.TrainValues());
        out.Write("</TRAIN>\r\n<TEST>\r\n");
        values(theRun.ValidationValues());
        out.Write("</TEST>\r\n</VALUES>\r\n</ORV>\r\n");
        out.Close();
        return true;
    });
}

}  // namespace orv
