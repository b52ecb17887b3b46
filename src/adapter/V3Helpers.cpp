#include "adapter/V3Helpers.h"

#include "common/ComError.h"
#include "common/Conversions.h"
#include "upgrade/v2LocaleSettings.h"

namespace orv::V3Helpers {

void LoadFunctionCatalogue(host::IHostFactory& factory, std::vector<host::FunctionEntry>& entries,
                           std::vector<std::string>& symbols) {
    auto source = factory.CreateCatalogueSource();
    source->Open();
    auto section = source->GetSection("FFnatives");
    if (!section) throw ComError(91, "", "Object variable or With block variable not set");
    const std::int32_t n = section->CountChildren("function");
    const auto size = static_cast<std::size_t>(n > 0 ? n : 0);
    entries.assign(size, host::FunctionEntry{});
    symbols.assign(size, std::string{});

    const std::string decimal = v2LocaleSettings::DecimalSeparator();
    std::size_t i = 0;
    for (auto child = section->FirstChild(); child; child = child->NextSibling()) {
        if (i >= size) throw ComError::SubscriptOutOfRange();
        host::FunctionEntry entry;
        entry.attr0 = child->AttributeText(0);
        entry.key = child->AttributeText(2);
        entry.attr3 = TextToLong(child->AttributeText(3), decimal);
        entry.content1 = child->Text();
        entry.content2 = entry.content1;
        entry.code = TextToLong(child->AttributeText(4), decimal);
        if (child->AttributeCount() == 6) symbols[i] = child->AttributeText(5);
        entries[i] = std::move(entry);
        ++i;
    }
}

std::int32_t LeadingNumber(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
    if (n == 0) throw ComError::TypeMismatch();
    return TextToLong(text.substr(0, n), ".");
}

std::int32_t V3SeparatorCode(std::int32_t legacyCode) {
    switch (legacyCode) {
        case 1: return 3;
        case 2: return 1;
        case 3: return 2;
        default: return 0;
    }
}

std::int32_t V3ErrorTypeCode(std::int32_t legacyCode) {
    switch (legacyCode) {
        case 1: return 2;
        case 2: return 4;
        case 3: return 11;
        default: return 0;
    }
}

}  // namespace orv::V3Helpers
