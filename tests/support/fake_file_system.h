#pragma once
// An in-memory working directory with switchable failures, so that the upload
// logic's file handling can be checked step by step.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "platform/files.h"

namespace quendrel::testing {

inline constexpr const char* kNotFound = "The system cannot find the file specified.";

class FakeFileSystem final : public IFileSystem {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> failWrites;    // WriteNew / ReplaceAtomically / AppendDurably fail for these
    std::set<std::string> failRemoves;
    std::set<std::string> partialWrites;  // WriteNew leaves half of the contents, then fails
    int writeNewCalls = 0;
    int replaceCalls = 0;
    int removeCalls = 0;

    Status AppendDurably(const std::string& name, const std::string& bytes) override {
        if (failWrites.count(name)) return Status::Failed("Access is denied.");
        std::string& f = files[name];
        if (!f.empty() && f.back() != '\n') f += "\r\n";
        f += bytes;
        return Status::Ok();
    }
    Status OpenForReading(const std::string& name, std::unique_ptr<IFileReader>& reader) override {
        auto it = files.find(name);
        if (it == files.end()) return Status::Failed(kNotFound);
        reader = std::make_unique<TextReader>(it->second);  // the contents as they were when opened
        return Status::Ok();
    }
    Status Size(const std::string& name, std::uint64_t& size) override {
        auto it = files.find(name);
        if (it == files.end()) return Status::Failed(kNotFound);
        size = it->second.size();
        return Status::Ok();
    }
    bool Exists(const std::string& name) override { return files.count(name) != 0; }
    Status WriteNew(const std::string& name, const WritePieces& pieces) override {
        std::string contents;
        for (const std::string_view piece : pieces.pieces()) contents += piece;
        ++writeNewCalls;
        if (partialWrites.count(name)) {
            files[name] = contents.substr(0, contents.size() / 2);
            return Status::Failed("There is not enough space on the disk.");
        }
        if (failWrites.count(name)) return Status::Failed("Access is denied.");
        files[name] = contents;
        return Status::Ok();
    }
    Status ReplaceAtomically(const std::string& name, const std::string& contents) override {
        ++replaceCalls;
        if (failWrites.count(name)) return Status::Failed("Access is denied.");
        files[name] = contents;
        return Status::Ok();
    }
    Status MoveOver(const std::string& from, const std::string& to) override {
        files[to] = files[from];
        files.erase(from);
        return Status::Ok();
    }
    Status Remove(const std::string& name) override {
        ++removeCalls;
        if (failRemoves.count(name)) return Status::Failed("The process cannot access the file because it is being used by another process.");
        if (!files.erase(name)) return Status::Failed(kNotFound);
        return Status::Ok();
    }
};

}  // namespace quendrel::testing
