#pragma once
// A main window on a location from the registry, in a private working
// directory, with a clock the test sets and a beeper that counts.
#include <gtest/gtest.h>

#include <memory>

#include "app/main_window_win.h"
#include "platform/registry_win.h"
#include "support/fake_upload_port.h"
#include "support/fakes.h"
#include "support/win_support_win.h"

namespace quendrel::testing {

// l=X1;h=127.0.0.1;u=user;p=secret;r=/in/;
inline constexpr const char* kTestLocationCode = "X1";
std::string TestLocationReg();

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    HWND Control(int id) const { return window->Control(id); }
    std::string Text(int id) const { return WindowText(Control(id)); }
    bool Visible(int id) const { return IsWindowVisible(Control(id)) != FALSE; }
    HWND Focus() const { return GetFocus(); }
    // Chooses an event as the list reports a choice to its parent.
    void ChooseEvent(int index);
    // Presses a key and lets the window handle it.
    void Press(WORD vk, bool shift = false, bool ctrl = false) { PressKey(vk, shift, ctrl); PumpMessages(20); }

    std::unique_ptr<TempWorkDir> workDir;
    FixedClock clock;
    CountingBeeper beeper;
    Win32Registry registry;
    LocationSettings settings;
    FakeUploadPort upload;
    std::unique_ptr<MainWindow> window;
};

}  // namespace quendrel::testing
