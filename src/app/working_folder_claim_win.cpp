#include "app/working_folder_claim_win.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/text.h"

namespace quendrel {

namespace {

// How long a second start waits for the first one's window: that one may
// still be loading, or waiting for OK on a message box.
constexpr int kWaitForWindowMs = 5000;
constexpr int kPollMs = 100;

}  // namespace

// Folder names are not case-sensitive.
std::string NormalizedWorkingFolder() {
    std::string folder = WorkingFolder();
    const std::string full = FetchGrowing([&](char* buffer, std::size_t size) -> std::size_t {
        return GetFullPathNameA(folder.c_str(), static_cast<DWORD>(size), buffer, nullptr);
    });
    if (!full.empty()) folder = full;
    const std::string longNames = FetchGrowing([&](char* buffer, std::size_t size) -> std::size_t {
        return GetLongPathNameA(folder.c_str(), buffer, static_cast<DWORD>(size));
    });
    if (!longNames.empty()) folder = longNames;
    if (!folder.empty()) CharLowerBuffA(&folder[0], static_cast<DWORD>(folder.size()));
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    return ::GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

namespace {

// The name of an object that marks the working folder as claimed, in the
// session's or the machine's namespace. Object names are limited in length
// and may not hold backslashes: a hash (64-bit FNV-1a) of the folder stands
// for it.
std::string ClaimName(const char* space) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : NormalizedWorkingFolder()) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char name[80];
    std::snprintf(name, sizeof name, "%s\\Quendrel-%016llx", space, static_cast<unsigned long long>(hash));
    return name;
}

HWND PublishedWindow(HANDLE shared) {
    const unique_mapview slot(MapViewOfFile(shared, FILE_MAP_READ, 0, 0, sizeof(std::uint64_t)));
    if (!slot) return nullptr;
    const std::uint64_t value = *static_cast<volatile std::uint64_t*>(slot.get());
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}

void BringToFront(HANDLE shared) {
    for (int waited = 0; waited < kWaitForWindowMs; waited += kPollMs) {
        HWND window = PublishedWindow(shared);
        if (window && IsWindow(window)) {
            // Asynchronous: a busy Quendrel must not hold this start up.
            if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
            SetForegroundWindow(window);
            return;
        }
        Sleep(kPollMs);
    }
}

}  // namespace

std::string MachineWideClaimName() { return ClaimName("Global"); }

bool QuendrelRunsInThisFolder() {
    const unique_handle mark(OpenMutexA(SYNCHRONIZE, FALSE, MachineWideClaimName().c_str()));
    return mark || GetLastError() == ERROR_ACCESS_DENIED;  // another account's: it exists
}

std::string WorkingFolder() {
    return FetchGrowing([](char* buffer, std::size_t size) -> std::size_t {
        return GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
    });
}

TakenClaim WorkingFolderClaim::Take() {
    unique_handle shared(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(std::uint64_t),
                                            ClaimName("Local").c_str()));
    // Without the shared memory nothing can be told apart: better start than
    // refuse to.
    if (shared && GetLastError() == ERROR_ALREADY_EXISTS) {
        BringToFront(shared.get());
        return {};
    }
    // A mutex, because any account may make one in the machine's namespace;
    // only its existence counts. One made by another account cannot be
    // opened: that also means it exists.
    unique_handle machineWide(CreateMutexA(nullptr, FALSE, MachineWideClaimName().c_str()));
    const DWORD made = GetLastError();
    if (made == ERROR_ALREADY_EXISTS || (!machineWide && made == ERROR_ACCESS_DENIED)) {
        return {nullptr, Status::Failed("Quendrel is already running for another user of this PC in the folder " +
                                        WorkingFolder() + ". Only one Quendrel may work in a folder, so that no "
                                        "scan is lost: close that one first.")};
    }
    return {std::unique_ptr<WorkingFolderClaim>(new WorkingFolderClaim(std::move(shared), std::move(machineWide))),
            Status::Ok()};
}

void WorkingFolderClaim::Publish(HWND window) {
    if (!shared_) return;
    const unique_mapview slot(MapViewOfFile(shared_.get(), FILE_MAP_WRITE, 0, 0, sizeof(std::uint64_t)));
    if (slot) *static_cast<std::uint64_t*>(slot.get()) = reinterpret_cast<std::uintptr_t>(window);
}

}  // namespace quendrel
