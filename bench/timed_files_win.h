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
    FileStatus AppendDurably(const std::string& name, const std::string& bytes) override {
        FileStatus status = SystemFileSystem().AppendDurably(name, bytes);
        stored.push_back(std::chrono::steady_clock::now());
        return status;
    }
    FileStatus ReadAll(const std::string& n, std::string& c) override { return SystemFileSystem().ReadAll(n, c); }
    FileStatus Size(const std::string& n, std::uint64_t& s) override { return SystemFileSystem().Size(n, s); }
    bool Exists(const std::string& n) override { return SystemFileSystem().Exists(n); }
    FileStatus OpenForReading(const std::string& n, std::unique_ptr<IFileReader>& r) override {
        return SystemFileSystem().OpenForReading(n, r);
    }
    FileStatus WriteNew(const std::string& n, const WritePieces& c) override { return SystemFileSystem().WriteNew(n, c); }
    FileStatus ReplaceAtomically(const std::string& n, const std::string& c) override {
        return SystemFileSystem().ReplaceAtomically(n, c);
    }
    FileStatus Remove(const std::string& n) override { return SystemFileSystem().Remove(n); }

    std::vector<std::chrono::steady_clock::time_point> stored;
};

}  // namespace quendrel::bench
