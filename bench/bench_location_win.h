#pragma once
// The location the window benchmarks run at (code X1), given without
// touching the machine's registry.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/registry.h"

namespace quendrel::bench {

class BenchRegistry final : public IRegistry {
    class Key final : public IRegKey {
    public:
        std::int32_t QueryRegValue(const std::string&, RegValue& value) override {
            value = RegValue::Text("3B31583D6C");  // l=X1;
            return 0;
        }
    };

public:
    std::unique_ptr<IRegKey> OpenLocalMachineKey(const std::string&, RegView) override {
        return std::make_unique<Key>();
    }
};

}  // namespace quendrel::bench
