#pragma once
#include <windows.h>

#include <memory>
#include <utility>

#include "platform/unique_handle_win.h"

namespace quendrel {

// One Quendrel per working folder: two would append to the same savedata.dat,
// and one could upload and delete the scans the other has just saved. Starts
// in different folders are independent.
class WorkingFolderClaim {
public:
    // Claims the process's working folder. When a Quendrel runs there
    // already, brings its window to the front and returns null.
    static std::unique_ptr<WorkingFolderClaim> Take();
    // Lets a later start in the same folder find the main window.
    void Publish(HWND window);

private:
    explicit WorkingFolderClaim(unique_handle shared) : shared_(std::move(shared)) {}
    unique_handle shared_;  // holds the window handle of the Quendrel that claimed the folder
};

}  // namespace quendrel
