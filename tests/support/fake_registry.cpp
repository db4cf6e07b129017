#include "support/fake_registry.h"

namespace quendrel::testing {

namespace {
class FakeKey final : public IRegKey {
public:
    explicit FakeKey(std::optional<FakeRegistry::Entry> entry) : entry_(std::move(entry)) {}
    std::int32_t QueryRegValue(const std::string& name, RegValue& value) override {
        if (name != "REGCODE" || !entry_) return 2;  // ERROR_FILE_NOT_FOUND
        if (entry_->status == 0) value = entry_->value;
        return entry_->status;
    }
private:
    std::optional<FakeRegistry::Entry> entry_;
};
}  // namespace

std::unique_ptr<IRegKey> FakeRegistry::OpenLocalMachineKey(const std::string& subkey, RegView view) {
    opened.emplace_back(subkey, view);
    auto it = keys_.find(view);
    if (it == keys_.end()) return nullptr;
    return std::make_unique<FakeKey>(it->second);
}

}  // namespace quendrel::testing
