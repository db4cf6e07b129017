// Stands in for the System Information tool in the About dialog's tests.
// When started it writes "<its own file name>.started" holding the show
// command it was given, and ends.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char self[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, self, MAX_PATH) == 0) return 1;
    char marker[MAX_PATH + 16] = {};
    std::snprintf(marker, sizeof(marker), "%s.started", self);

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    FILE* file = std::fopen(marker, "wb");
    if (!file) return 1;
    std::fprintf(file, "show=%d\n", show);
    std::fclose(file);
    return 0;
}
