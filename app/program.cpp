#include "app/program.h"

#include <ole2.h>

#include <string>

#include "app/fatal_error.h"
#include "core/hosts_blacklist.h"
#include "core/out_of_memory.h"
#include "ui/main_window.h"
#include "ui/main_window_controller.h"
#include "ui/ui_texts.h"

namespace {

// The folder of the program file becomes the current directory.
void enterProgramFolder() {
    std::string path(MAX_PATH, '\0');
    DWORD length;
    while ((length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
               path.size() &&
           path.size() < 32768)
        path.resize(path.size() * 2);
    path.resize(length);
    const size_t cut = path.rfind('\\');
    if (cut == std::string::npos) return;
    path.resize(cut);
    SetCurrentDirectoryA(path.c_str());
}

// Loads the main window, runs the message loop until the window has been
// closed, and returns the code of the quit request. The window and its
// controller are gone when it returns.
int runMainWindow(HINSTANCE instance, HostsBlacklist& blacklist) {
    MainWindow window;
    MainWindowController controller(window, blacklist);
    if (!window.create(instance, controller)) reportFatalError(windowLoadFailedText);

    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (window.handleKeyboard(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int runProgram(HINSTANCE instance) {
    setOutOfMemoryHandler(reportAllocationFailure);
    OleInitialize(nullptr);
    enterProgramFolder();
    int exitCode;
    {
        // Created before the window and destroyed after it, exactly once.
        HostsBlacklist blacklist(systemFileSystem());
        exitCode = runMainWindow(instance, blacklist);
    }
    OleUninitialize();
    return exitCode;
}
