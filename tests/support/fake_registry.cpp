#include "support/fake_registry.h"

namespace quendrel::testing {

RegValue RegText(const std::string& text) { return {RegValue::Type::Text, text + std::string(1, '\0')}; }

RegValue RegNumber(std::int32_t number) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(static_cast<std::uint32_t>(number) >> (8 * i)));
    return {RegValue::Type::Number, bytes};
}

std::optional<RegValue> FakeRegistry::TryGetValue(const std::string& subkey, const std::string& name, RegView view,
                                                  RegAccess access) {
    asked.push_back({subkey, name, view});
    if (access == RegAccess::Full && readOnlyKeys.count(subkey)) return std::nullopt;
    const auto found = values_.find({subkey, name, view});
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

}  // namespace quendrel::testing
