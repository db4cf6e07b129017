// POSIX file system, so that the portable logic runs against real files in
// the native test build.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/text.h"

namespace quendrel {

namespace {

Status LastError() { return Status::Failed(std::strerror(errno)); }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
private:
    int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Lines end in CR LF: a last line ending in a bare LF or CR is still unended.
bool EndsInLineEnd(int fd, off_t size) {
    if (size == 0) return true;
    char last[2] = {0, 0};
    if (size >= 2 && ::pread(fd, last, 2, size - 2) != 2) return true;  // Unknown: better no extra line end than a failed save.
    return EndsWithLineEnd(std::string_view(last, 2));
}

class PosixFileReader final : public IFileReader {
public:
    explicit PosixFileReader(int fd) : fd_(fd) {}
    Status Read(char* buffer, std::size_t size, std::size_t& got) override {
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, size);
            if (n >= 0) {
                got = static_cast<std::size_t>(n);
                return Status::Ok();
            }
            if (errno != EINTR) return LastError();
        }
    }

private:
    FileDescriptor fd_;
};

class PosixFileSystem final : public IFileSystem {
public:
    Status AppendDurably(const std::string& name, const std::string& bytes) override {
        FileDescriptor fd(::open(name.c_str(), O_RDWR | O_CREAT, 0644));
        if (!fd) return LastError();
        const off_t size = ::lseek(fd.get(), 0, SEEK_END);
        if (size < 0) return LastError();
        const std::string data = EndsInLineEnd(fd.get(), size) ? bytes : "\r\n" + bytes;
        if (WriteAll(fd.get(), data.data(), data.size()) && ::fsync(fd.get()) == 0) return Status::Ok();
        Status failure = LastError();
        if (::ftruncate(fd.get(), size) == 0) ::fsync(fd.get());
        return failure;
    }

    Status OpenForReading(const std::string& name, std::unique_ptr<IFileReader>& reader) override {
        const int fd = ::open(name.c_str(), O_RDONLY);
        if (fd < 0) return LastError();
        reader = std::make_unique<PosixFileReader>(fd);
        return Status::Ok();
    }

    Status Size(const std::string& name, std::uint64_t& size) override {
        struct stat st;
        if (::stat(name.c_str(), &st) != 0) return LastError();
        size = static_cast<std::uint64_t>(st.st_size);
        return Status::Ok();
    }

    bool Exists(const std::string& name) override {
        struct stat st;
        return ::stat(name.c_str(), &st) == 0;
    }

    Status WriteNew(const std::string& name, const WritePieces& contents) override {
        FileDescriptor fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        if (!fd) return LastError();
        for (const std::string_view piece : contents.pieces())
            if (!WriteAll(fd.get(), piece.data(), piece.size())) return LastError();
        if (::fsync(fd.get()) != 0) return LastError();
        return Status::Ok();
    }

    Status MoveOver(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) return LastError();
        return Status::Ok();
    }

    Status Remove(const std::string& name) override {
        if (::unlink(name.c_str()) != 0) return LastError();
        return Status::Ok();
    }
};

}  // namespace

IFileSystem& SystemFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace quendrel
