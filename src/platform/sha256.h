#pragma once
// SHA-256 (FIPS 180-4), fed in pieces: a fingerprint of bytes that are not
// kept in memory.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quendrel {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    void Add(std::string_view bytes);
    // The digest of everything added; the object is spent afterwards.
    Sha256Digest Finish();

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t total_ = 0;
};

Sha256Digest Sha256Of(std::string_view bytes);

}  // namespace quendrel
