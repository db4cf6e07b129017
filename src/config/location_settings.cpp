#include "config/location_settings.h"

#include <cstdint>

#include "config/regcode.h"

namespace quendrel {

std::optional<std::string> RegCodeInView(IRegistry& registry, RegView view) {
    const std::optional<RegValue> value =
        registry.TryGetValue(kLocationSubkey, kLocationValueName, view, RegAccess::Query);
    // A text loses its last byte, the terminating NUL; a value of no bytes
    // holds no text at all.
    if (!value || value->bytes.empty()) return std::nullopt;
    if (value->type == RegValue::Type::Text) return value->bytes.substr(0, value->bytes.size() - 1);
    if (value->type != RegValue::Type::Number || value->bytes.size() > 4) return std::nullopt;
    std::uint32_t number = 0;
    for (std::size_t i = value->bytes.size(); i-- > 0;)
        number = number << 8 | static_cast<unsigned char>(value->bytes[i]);
    return std::to_string(static_cast<std::int32_t>(number));
}

std::optional<FoundRegCode> FindRegCode(IRegistry& registry) {
    for (const RegView view : {RegView::Bits32, RegView::Bits64})
        if (std::optional<std::string> text = RegCodeInView(registry, view)) return FoundRegCode{view, std::move(*text)};
    return std::nullopt;
}

std::optional<LocationSettings> LoadLocationSettings(IRegistry& registry) {
    const std::optional<FoundRegCode> found = FindRegCode(registry);
    if (!found || found->text.empty()) return std::nullopt;
    return ParseSettingsText(DecodeRegCode(found->text));
}

}  // namespace quendrel
