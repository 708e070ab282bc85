#pragma once

// What the end-to-end tests and the start-up benchmark need to run the real
// program and read its window from another process under Wine.

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "ui/control_ids.h"

using Strings = std::vector<std::string>;

inline constexpr char hostsPath[] = "C:\\windows\\system32\\drivers\\etc\\hosts";
inline constexpr char browserLog[] = "C:\\browser-log.txt";
// tests/run-with-display.sh collects the Unix stderr of every Wine process of
// the run here, Wine's debug traces included.
inline constexpr char wineStderr[] = "C:\\wine-stderr.txt";

// A Unix path as this prefix's Z: drive shows it.
inline std::string windowsPath(std::string path) {
    if (path.empty() || path[0] != '/') return path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<absent>";
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

inline std::string className(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

inline std::string toAnsi(const std::wstring& wide) {
    std::string narrow(wide.size() * 2 + 1, '\0');
    narrow.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()),
                                                          narrow.data(), static_cast<int>(narrow.size()),
                                                          nullptr, nullptr)));
    return narrow;
}

// The text of a window of another process (an edit box keeps its text to
// itself, so the window is asked for it).
inline std::string windowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(std::max<LRESULT>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0), 0)) + 1, L'\0');
    const LRESULT copied = SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, static_cast<LRESULT>(text.size()))));
    return toAnsi(text);
}

// The items of a list box of another process. Wine hands LB_GETTEXT across
// processes as UTF-16 even to SendMessageA, so the W message is used and the
// text turned back into the ANSI code page (936, as the program has it).
inline Strings listItems(HWND list) {
    Strings items;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // The program may be refilling the list meanwhile: an item may be gone.
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        const LRESULT copied = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        if (length < 0 || copied < 0 || copied > length) {
            items.push_back("<gone>");
            continue;
        }
        text.resize(static_cast<size_t>(copied));
        items.push_back(toAnsi(text));
    }
    return items;
}

inline std::vector<HWND> topLevelWindowsOf(DWORD pid) {
    struct Search { DWORD pid; std::vector<HWND> found; } search{pid, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->pid) s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What a message box shows.
struct Box {
    HWND hwnd = nullptr;
    std::string caption, text;
    int buttons = 0;       // visible buttons
    bool okButton = false;  // the visible button is IDOK
    bool icon = false;      // an icon is shown
    LONG exStyle = 0;
};

inline Box readBox(HWND hwnd) {
    Box box;
    box.hwnd = hwnd;
    box.caption = windowText(hwnd);
    box.exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        const std::string kind = className(child);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (_stricmp(kind.c_str(), "Button") == 0) {
            ++box.buttons;
            box.okButton = GetDlgCtrlID(child) == IDOK;
        } else if (_stricmp(kind.c_str(), "Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON)
                box.icon = box.icon || SendMessageA(child, STM_GETICON, 0, 0) != 0;
            else if (!windowText(child).empty())
                box.text = windowText(child);
        }
    }
    return box;
}

// Holds a key down and lets it go again, with Shift or Alt held around it.
inline void pressKey(WORD key, WORD modifier = 0) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (modifier) add(modifier, false);
    add(key, false);
    add(key, true);
    if (modifier) add(modifier, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A left click at a point of the screen.
inline void clickAt(POINT point) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = point.x * 65535 / (width - 1);
        input.mi.dy = point.y * 65535 / (height - 1);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

inline POINT centreOf(HWND hwnd) {
    RECT rect;
    GetWindowRect(hwnd, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// One run of a program under test, ended when the object goes.
class Process {
public:
    // Starts `exe` with the arguments `args` in C:\ (not the program's folder).
    // With `debugChannels` (WINEDEBUG syntax), Wine traces those channels of
    // the process to wineStderr.
    explicit Process(const std::string& exe, const std::string& args = "",
                     const char* debugChannels = nullptr) {
        std::string commandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string environment;
        if (debugChannels) environment = environmentWith(std::string("WINEDEBUG=") + debugChannels);
        traceStart_ = readFile(wineStderr).size();
        started_ = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                  debugChannels ? environment.data() : nullptr, "C:\\", &startup, &info_);
    }
    ~Process() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return started_; }
    HANDLE handle() const { return info_.hProcess; }

    // The program's main window once it is visible, or nullptr.
    HWND waitForMainWindow(DWORD timeoutMs = 30000) {
        HWND found = nullptr;
        waitUntil([&] { return (found = mainWindow()) != nullptr; }, timeoutMs);
        return found;
    }
    HWND mainWindow() {
        for (HWND hwnd : topLevelWindowsOf(info_.dwProcessId))
            if (className(hwnd) == mainWindowClassName && IsWindowVisible(hwnd)) return hwnd;
        return nullptr;
    }
    // A visible message box of this process, or nullptr.
    HWND messageBox() {
        for (HWND hwnd : topLevelWindowsOf(info_.dwProcessId))
            if (className(hwnd) == "#32770" && IsWindowVisible(hwnd)) return hwnd;
        return nullptr;
    }
    HWND waitForMessageBox(DWORD timeoutMs = 10000) {
        HWND found = nullptr;
        waitUntil([&] { return (found = messageBox()) != nullptr; }, timeoutMs);
        return found;
    }
    // The window that has the keyboard focus in the program.
    HWND focus() {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof gui;
        return GetGUIThreadInfo(info_.dwThreadId, &gui) ? gui.hwndFocus : nullptr;
    }
    // The exit code, or 99 when the process is still running after `timeoutMs`.
    DWORD exitCode(DWORD timeoutMs = 10000) {
        if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return 99;
        DWORD code = 99;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }
    // The trace lines of the program's thread written since it started; Wine
    // starts each with the thread id in hex.
    Strings traceLines() {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%04lx:", info_.dwThreadId);
        const std::string all = readFile(wineStderr);
        Strings lines;
        size_t at = std::min(traceStart_, all.size());
        while (at < all.size()) {
            size_t end = all.find('\n', at);
            if (end == std::string::npos) end = all.size();
            const std::string line = all.substr(at, end - at);
            if (line.rfind(prefix, 0) == 0) lines.push_back(line);
            at = end + 1;
        }
        return lines;
    }
    // The process's current directory, read from its process parameters.
    std::string currentDirectory() {
        PROCESS_BASIC_INFORMATION basic{};
        if (NtQueryInformationProcess(info_.hProcess, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
            return "<unknown>";
        // PEB.ProcessParameters, then its CurrentDirectory.DosPath (x64 layout).
        void* parameters = nullptr;
        UNICODE_STRING path{};
        if (!ReadProcessMemory(info_.hProcess, reinterpret_cast<char*>(basic.PebBaseAddress) + 0x20,
                               &parameters, sizeof parameters, nullptr) ||
            !ReadProcessMemory(info_.hProcess, static_cast<char*>(parameters) + 0x38, &path, sizeof path, nullptr))
            return "<unknown>";
        std::wstring wide(path.Length / sizeof(wchar_t), L'\0');
        ReadProcessMemory(info_.hProcess, path.Buffer, wide.data(), path.Length, nullptr);
        return toAnsi(wide);
    }

private:
    static std::string environmentWith(const std::string& setting) {
        std::string block;
        const std::string name = setting.substr(0, setting.find('=') + 1);
        char* all = GetEnvironmentStringsA();
        for (const char* p = all; *p; p += std::strlen(p) + 1)
            if (_strnicmp(p, name.c_str(), name.size()) != 0) block.append(p).push_back('\0');
        FreeEnvironmentStringsA(all);
        block.append(setting).push_back('\0');
        block.push_back('\0');
        return block;
    }

    PROCESS_INFORMATION info_{};
    bool started_ = false;
    size_t traceStart_ = 0;
};
