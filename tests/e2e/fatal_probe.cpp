// The program's own start-up, with one real fault brought about from outside
// the product code, so the end-to-end tests can watch the fatal-error path:
//   fatal_probe refuse-window   the system refuses to create the last control,
//                               so the main window cannot be built;
//   fatal_probe exhaust-memory  an allocation of 2^62 bytes is made during
//                               start-up, after the program set its handler.
// A thread-local CBT hook (a standard Win32 mechanism) brings either about.

#include <windows.h>

#include <cstring>
#include <new>

#include "app/program.h"
#include "ui/control_ids.h"

namespace {

bool refuseWindow = false;

bool isMainWindow(HWND hwnd) {
    char className[64] = {};
    return hwnd && GetClassNameA(hwnd, className, sizeof className) &&
           std::strcmp(className, mainWindowClassName) == 0;
}

LRESULT CALLBACK onCreateWindow(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lp)->lpcs;
        if (refuseWindow && isMainWindow(create->hwndParent) &&
            create->hMenu == reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id::button4)))
            return 1;
        if (!refuseWindow && isMainWindow(reinterpret_cast<HWND>(wp))) {
            void* volatile block = ::operator new(size_t{1} << 62);
            ::operator delete(block);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    refuseWindow = std::strstr(commandLine, "refuse-window") != nullptr;
    if (!refuseWindow && !std::strstr(commandLine, "exhaust-memory")) return 2;
    SetWindowsHookExA(WH_CBT, onCreateWindow, nullptr, GetCurrentThreadId());
    return runProgram(instance);
}
