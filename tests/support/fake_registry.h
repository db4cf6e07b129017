#pragma once
// An in-memory registry for the settings logic: values per view, and a count
// of the keys opened so that the order of the views can be checked.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace quendrel::testing {

class FakeRegistry final : public IRegistry {
public:
    struct Entry {
        std::int32_t status = 0;
        RegValue value;
    };
    // The key exists in `view`; `value` (if any) is REGCODE's entry there.
    void AddKey(RegView view, std::optional<Entry> value = std::nullopt) { keys_[view] = value; }

    std::unique_ptr<IRegKey> OpenLocalMachineKey(const std::string& subkey, RegView view) override;

    std::vector<std::pair<std::string, RegView>> opened;

private:
    std::map<RegView, std::optional<Entry>> keys_;
};

}  // namespace quendrel::testing
