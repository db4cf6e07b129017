#pragma once
// HKEY_LOCAL_MACHINE in memory: values per key and view, keys that grant only
// reading, and a record of every value asked for.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "config/location_settings.h"
#include "platform/registry.h"

namespace quendrel::testing {

// A text value as the registry stores it, with its terminating NUL.
RegValue RegText(const std::string& text);
// A REG_DWORD value.
RegValue RegNumber(std::int32_t number);

class FakeRegistry final : public IRegistry {
public:
    void Put(const std::string& subkey, const std::string& name, RegValue value, RegView view = RegView::Bits32) {
        values_[{subkey, name, view}] = std::move(value);
    }
    // REGCODE, where the program looks for it.
    void PutRegCode(RegValue value, RegView view = RegView::Bits32) {
        Put(kLocationSubkey, kLocationValueName, std::move(value), view);
    }
    std::optional<RegValue> TryGetValue(const std::string& subkey, const std::string& name, RegView view,
                                        RegAccess access) override;

    std::set<std::string> readOnlyKeys;  // cannot be opened with full access
    struct Request {
        std::string subkey;
        std::string name;
        RegView view;
    };
    std::vector<Request> asked;

private:
    std::map<std::tuple<std::string, std::string, RegView>, RegValue> values_;
};

}  // namespace quendrel::testing
