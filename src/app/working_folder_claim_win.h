#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/status.h"
#include "platform/unique_handle_win.h"

namespace quendrel {

// One Quendrel per working folder on the whole PC: two would append to the
// same savedata.dat, and one could upload and delete the scans the other has
// just saved. Operators logged on at once (user switching, remote desktop)
// share the installed working folder. Starts in different folders are
// independent.
class WorkingFolderClaim;
struct TakenClaim {
    std::unique_ptr<WorkingFolderClaim> claim;  // null when a Quendrel runs in the folder already
    // That Quendrel runs for another user: the text for the operator. One of
    // this session is brought to the front instead, without a word.
    Status refusal;
};

class WorkingFolderClaim {
public:
    // Claims the process's working folder.
    static TakenClaim Take();
    // Lets a later start in the same folder find the main window.
    void Publish(HWND window);

private:
    WorkingFolderClaim(unique_handle shared, unique_handle machineWide)
        : shared_(std::move(shared)), machineWide_(std::move(machineWide)) {}
    unique_handle shared_;       // holds the window handle of the Quendrel that claimed the folder
    unique_handle machineWide_;  // marks the folder as claimed for every session of the PC
};

// The process's working folder, as the system gives it.
std::string WorkingFolder();
// The working folder in one spelling, whichever way it was given: full, long
// names, lower case, no trailing backslash.
std::string NormalizedWorkingFolder();
// This PC's name on the network.
std::string ComputerName();
// The name of the machine-wide mark for the current working folder.
std::string MachineWideClaimName();
// Whether a Quendrel works in the current working folder, for any user.
bool QuendrelRunsInThisFolder();

}  // namespace quendrel
