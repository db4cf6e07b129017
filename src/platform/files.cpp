#include "platform/files.h"

namespace quendrel {

Status IFileSystem::ReadAll(const std::string& name, std::string& contents) {
    std::unique_ptr<IFileReader> reader;
    Status status = OpenForReading(name, reader);
    std::string data;
    // Sized once: a large savedata.dat must not sit in memory twice while it grows.
    std::uint64_t size = 0;
    if (status.ok() && Size(name, size).ok() && size < data.max_size()) data.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    for (std::size_t got = 1; status.ok() && got > 0;) {
        got = 0;
        status = reader->Read(buffer, sizeof buffer, got);
        data.append(buffer, got);
    }
    if (status.ok()) contents = std::move(data);
    return status;
}

Status IFileSystem::ReplaceAtomically(const std::string& name, const std::string& contents) {
    const std::string temporary = name + ".tmp";
    Status replaced = WriteNew(temporary, contents);
    if (replaced.ok()) replaced = MoveOver(temporary, name);
    if (!replaced.ok()) static_cast<void>(Remove(temporary));
    return replaced;
}

}  // namespace quendrel
