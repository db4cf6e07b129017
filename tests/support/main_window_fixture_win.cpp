#include "support/main_window_fixture_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include "config/regcode.h"
#include "config/settings_rules.h"

namespace quendrel::testing {

std::string TestLocationReg() {
    return LocationReg("\"REGCODE\"=\"" + EncodeRegCode("l=X1;h=127.0.0.1;u=user;p=secret;r=/in/;") + "\"");
}

void MainWindowTest::SetUpTestSuite() {
    DeleteLocationKey();
    ImportRegistry(TestLocationReg());
}

void MainWindowTest::TearDownTestSuite() { DeleteLocationKey(); }

void MainWindowTest::SetUp() {
    workDir = std::make_unique<TempWorkDir>();
    const MainWindowServices services{clock, SystemFileSystem(), beeper, registry, upload};
    ASSERT_TRUE(LoadSettingsAtStartUp(registry, settings).ok());
    window = MainWindow::Create(GetModuleHandleA(nullptr), services, settings).window;
    ASSERT_TRUE(window);
    SetMessageHandler([this](MSG& msg) { ProcessMessage(*window, msg); });
    window->Show(SW_SHOWNORMAL);
    ActivateWindow(window->Handle());
}

void MainWindowTest::TearDown() {
    SetMessageHandler(nullptr);
    window.reset();
    PumpMessages(20);
    // The window posts WM_QUIT when it goes; it must not end the next test's loop.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    workDir.reset();
}

void MainWindowTest::ChooseEvent(int index) {
    HWND list = Control(kEventList);
    ComboBox_SetCurSel(list, index);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(kEventList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    PumpMessages(20);
}

}  // namespace quendrel::testing
