#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/files.h"
#include "platform/text.h"
#include "platform/system_error_win.h"
#include "platform/unique_handle_win.h"

namespace quendrel {

namespace {

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr)) return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Lines end in CR LF: a last line ending in a bare LF or CR is still unended.
bool EndsInLineEnd(HANDLE file, LONGLONG size) {
    if (size == 0) return true;
    if (size == 1) return false;
    LARGE_INTEGER pos;
    pos.QuadPart = size - 2;
    char last[2] = {0, 0};
    DWORD read = 0;
    if (!SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) || !ReadFile(file, last, 2, &read, nullptr) || read != 2) {
        return true;  // Unknown: better no extra line end than a failed save.
    }
    return EndsWithLineEnd(std::string_view(last, 2));
}

class Win32FileReader final : public IFileReader {
public:
    explicit Win32FileReader(unique_hfile file) : file_(std::move(file)) {}
    Status Read(char* buffer, std::size_t size, std::size_t& got) override {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 0x10000000));
        if (!ReadFile(file_.get(), buffer, want, &read, nullptr)) return LastErrorStatus();
        got = read;
        return Status::Ok();
    }

private:
    unique_hfile file_;
};

class Win32FileSystem final : public IFileSystem {
public:
    Status AppendDurably(const std::string& name, const std::string& bytes) override {
        unique_hfile file(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return LastErrorStatus();
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file.get(), &size)) return LastErrorStatus();

        std::string data = EndsInLineEnd(file.get(), size.QuadPart) ? bytes : "\r\n" + bytes;
        LARGE_INTEGER end;
        end.QuadPart = 0;
        if (!SetFilePointerEx(file.get(), end, nullptr, FILE_END)) return LastErrorStatus();
        if (WriteAll(file.get(), data.data(), data.size()) && FlushFileBuffers(file.get())) return Status::Ok();

        // Leave no partial record behind: cut the file back to where it was.
        Status failure = LastErrorStatus();
        if (SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN)) {
            SetEndOfFile(file.get());
            FlushFileBuffers(file.get());
        }
        return failure;
    }

    Status OpenForReading(const std::string& name, std::unique_ptr<IFileReader>& reader) override {
        unique_hfile file(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) return LastErrorStatus();
        reader = std::make_unique<Win32FileReader>(std::move(file));
        return Status::Ok();
    }

    Status Size(const std::string& name, std::uint64_t& size) override {
        WIN32_FILE_ATTRIBUTE_DATA info;
        if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &info)) return LastErrorStatus();
        size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        return Status::Ok();
    }

    bool Exists(const std::string& name) override {
        return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    Status WriteNew(const std::string& name, const WritePieces& contents) override {
        unique_hfile file(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return LastErrorStatus();
        for (const std::string_view piece : contents.pieces())
            if (!WriteAll(file.get(), piece.data(), piece.size())) return LastErrorStatus();
        if (!FlushFileBuffers(file.get())) return LastErrorStatus();
        return Status::Ok();
    }

    Status MoveOver(const std::string& from, const std::string& to) override {
        if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return LastErrorStatus();
        return Status::Ok();
    }

    Status Remove(const std::string& name) override {
        if (!DeleteFileA(name.c_str())) return LastErrorStatus();
        return Status::Ok();
    }
};

}  // namespace

IFileSystem& SystemFileSystem() {
    static Win32FileSystem fileSystem;
    return fileSystem;
}

}  // namespace quendrel
