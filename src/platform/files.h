#pragma once
// The working directory's files, behind an interface so that the scan and
// upload logic is tested without Windows. Names are plain file names (or
// paths) in the system's 8-bit code page.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace quendrel {

// Bytes to write: one text, or pieces written one after another, so that a
// large file need not be put together in memory first.
class WritePieces {
public:
    WritePieces(const std::string& whole) : pieces_{std::string_view(whole)} {}
    WritePieces(const char* whole) : pieces_{std::string_view(whole)} {}
    WritePieces(std::initializer_list<std::string_view> pieces) : pieces_(pieces) {}
    const std::vector<std::string_view>& pieces() const { return pieces_; }

private:
    std::vector<std::string_view> pieces_;
};

// A file open for reading from its start, closed when the reader goes.
class IFileReader {
public:
    virtual ~IFileReader() = default;
    // Reads up to `size` bytes; `got` is 0 at the end of the file.
    virtual Status Read(char* buffer, std::size_t size, std::size_t& got) = 0;
};

// Reads a text held in memory, as if it were a file.
class TextReader final : public IFileReader {
public:
    explicit TextReader(std::string text) : text_(std::move(text)) {}
    Status Read(char* buffer, std::size_t size, std::size_t& got) override {
        got = text_.copy(buffer, size, at_);
        at_ += got;
        return Status::Ok();
    }

private:
    std::string text_;
    std::size_t at_ = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Appends `bytes` to the file (created if missing) and forces them to the
    // disk before returning. If the file does not end in a line end, one is
    // written first so that a damaged last line never runs into the new one.
    // On failure the file is cut back to its size before the call.
    virtual Status AppendDurably(const std::string& name, const std::string& bytes) = 0;
    // Reads the whole file, through OpenForReading.
    Status ReadAll(const std::string& name, std::string& contents);
    // Opens the file for reading in pieces; others may read and write it meanwhile.
    virtual Status OpenForReading(const std::string& name, std::unique_ptr<IFileReader>& reader) = 0;
    virtual Status Size(const std::string& name, std::uint64_t& size) = 0;
    virtual bool Exists(const std::string& name) = 0;
    // Creates the file, or empties an existing one, writes `contents` and
    // forces them to the disk.
    virtual Status WriteNew(const std::string& name, const WritePieces& contents) = 0;
    // Replaces the file's contents as one step: a temporary file beside it is
    // written, forced to disk and moved over it.
    virtual Status ReplaceAtomically(const std::string& name, const std::string& contents);
    // Moves a file over another, which it replaces, as one step.
    virtual Status MoveOver(const std::string& from, const std::string& to) = 0;
    virtual Status Remove(const std::string& name) = 0;
};

// The platform's implementation (Win32 on Windows, POSIX elsewhere).
IFileSystem& SystemFileSystem();

}  // namespace quendrel
