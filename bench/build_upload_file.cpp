// BuildUploadFile on 1,000,000 pending records against a plain copy of the
// same savedata.dat, in the same run and on the same disk.
//   bench_build_upload_file [FOLDER] [RECORDS]
// Both sides read the whole file and write the new one durably through the
// same file system; the copy does nothing else, so the ratio is the cost of
// forming the batch (name, count, header, trailer).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "upload/upload_batch.h"

namespace {

using quendrel::BuildUploadFile;
using quendrel::BuiltBatch;
using quendrel::IFileSystem;
using quendrel::LocalTime;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename F>
double Seconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "quendrel-bench";
    const long records = argc > 2 ? std::stol(argv[2]) : 1000000;
    fs::create_directories(folder);
    fs::current_path(folder);

    IFileSystem& files = quendrel::SystemFileSystem();
    std::string savedata;
    savedata.reserve(static_cast<std::size_t>(records) * 48);
    for (long i = 0; i < records; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "UP1ABCD23E45F%06ldX10111080905075500042123456\r\n", i % 1000000);
        savedata += line;
    }
    if (!files.WriteNew(quendrel::kSaveDataFile, savedata).ok()) {
        std::fprintf(stderr, "cannot write savedata.dat in %s\n", folder.string().c_str());
        return 1;
    }

    constexpr int kRounds = 5;
    std::vector<double> build, copy;
    for (int round = 0; round < kRounds; ++round) {
        const LocalTime when{2001, 11, 8, 9, round, 0};  // a new batch name each round
        copy.push_back(Seconds([&] {
            std::string contents;
            if (!files.ReadAll(quendrel::kSaveDataFile, contents).ok() || !files.WriteNew("copy.dat", contents).ok())
                std::fprintf(stderr, "copy failed\n");
        }));
        BuiltBatch built;
        build.push_back(Seconds([&] {
            if (!BuildUploadFile(files, when, "X1", built).ok()) std::fprintf(stderr, "build failed\n");
        }));
        // Clearing up: what is gone already needs no removing.
        static_cast<void>(files.Remove(built.fileName));
        static_cast<void>(files.Remove("copy.dat"));
    }
    static_cast<void>(files.Remove(quendrel::kSaveDataFile));

    const double b = Median(build), c = Median(copy);
    std::printf("records %ld (%.1f MB)\n", records, savedata.size() / 1e6);
    std::printf("BuildUploadFile  median %.3f s\n", b);
    std::printf("plain copy       median %.3f s\n", c);
    std::printf("ratio build/copy %.2f\n", b / c);
    return 0;
}
