#pragma once
// The system's files for the window benchmarks, noting when each append
// (written and flushed) returns.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

namespace quendrel::bench {

class TimedFiles final : public IFileSystem {
public:
    Status AppendDurably(const std::string& name, const std::string& bytes) override {
        Status status = SystemFileSystem().AppendDurably(name, bytes);
        stored.push_back(std::chrono::steady_clock::now());
        return status;
    }
    Status Size(const std::string& n, std::uint64_t& s) override { return SystemFileSystem().Size(n, s); }
    bool Exists(const std::string& n) override { return SystemFileSystem().Exists(n); }
    Status OpenForReading(const std::string& n, std::unique_ptr<IFileReader>& r) override {
        return SystemFileSystem().OpenForReading(n, r);
    }
    Status WriteNew(const std::string& n, const WritePieces& c) override { return SystemFileSystem().WriteNew(n, c); }
    Status ReplaceAtomically(const std::string& n, const std::string& c) override {
        return SystemFileSystem().ReplaceAtomically(n, c);
    }
    Status Remove(const std::string& n) override { return SystemFileSystem().Remove(n); }
    Status MoveOver(const std::string& f, const std::string& t) override { return SystemFileSystem().MoveOver(f, t); }

    std::vector<std::chrono::steady_clock::time_point> stored;
};

}  // namespace quendrel::bench
