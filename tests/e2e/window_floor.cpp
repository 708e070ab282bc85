// The floor for tools/bench.sh's window timings: the least a Win32 ANSI
// program must do to show what hosts-blacklist shows. It reads the same hosts
// file, fills two list boxes with the site and the address of each entry, as
// the program does, and only then shows its window. A click on its "加入"
// button appends the edit box's text as a site with the address 127.0.0.1, a
// click on "解除" drops the selected entry; either way it empties and refills
// both lists and shows the program's success box. window_benchmark times it
// beside the program, from outside, in the same way.
//
// Why this is the fastest honest fill of string list boxes:
// - WM_SETREDRAW off while filling: no repaint and no scroll bar update per
//   item; one repaint at the end.
// - LB_INITSTORAGE with the count and the bytes: on Windows the item arrays
//   are allocated once instead of growing (under Wine it was measured to
//   change nothing).
// - LB_ADDSTRING to list boxes without LBS_SORT: each item is appended, with
//   no comparison.
// - One list after the other, not in turns: under Wine an item added to two
//   list boxes in turns costs about 2.5 times as much as one added to a list
//   filled on its own (measured: 1.7 against 0.7 µs for lists of 2,000; the
//   first fill of 84,000 entries, 640 against 250 ms).
// - The texts point into the one buffer the file was read into, cut up in
//   place at the start; a refill allocates nothing on this side.
// - The "A" messages, as in any ANSI program: a list box keeps its items in
//   UTF-16 and converts ANSI text itself.
// Faster lists exist, but they do not hold the texts: LBS_NODATA and
// owner-drawn lists without LBS_HASSTRINGS leave the drawing to the program
// and have no text to give LB_GETTEXT, so they would not be the same list.
//
// Usage: window_floor (reads the system's hosts file, as the program does)

#include <windows.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "ui/control_ids.h"
#include "ui/ui_texts.h"

namespace {

constexpr char floorClassName[] = "HostsBlacklistFloor";

struct Entry {
    const char* site;
    const char* address;
};

struct Lists {
    std::string file;                // the hosts file, its lines and fields ended with NULs in place
    std::deque<std::string> added;   // the texts of sites added by clicks
    std::vector<Entry> entries;
    HWND sites = nullptr, addresses = nullptr, edit = nullptr;
};
Lists lists;

std::string readHostsFile() {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    const std::string path = std::string(folder, length) + "\\drivers\\etc\\hosts";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

// Where the field that begins at `p` ends: at a space that begins a character,
// or at the end of the line; a byte of 0x80 or above begins a two-byte one.
size_t fieldEnd(const std::string& text, size_t p, size_t lineEnd) {
    while (p < lineEnd && text[p] != ' ') p += static_cast<unsigned char>(text[p]) >= 0x80 ? 2 : 1;
    return p < lineEnd ? p : lineEnd;
}

// The entries of the hosts file as the program lists them: lines split at
// CR LF; empty lines and those beginning with '#' left out; the first field
// the address, the second the site. Cuts the text up in place.
void parse(std::string& text) {
    lists.entries.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    text.push_back('\0');
    size_t at = 0;
    const size_t end = text.size() - 1;
    while (at < end) {
        size_t lineEnd = text.find("\r\n", at);
        if (lineEnd == std::string::npos) lineEnd = end;
        if (lineEnd > at && text[at] != '#') {
            const size_t first = fieldEnd(text, at, lineEnd);
            if (first + 1 < lineEnd) {
                const size_t second = fieldEnd(text, first + 1, lineEnd);
                text[first] = '\0';
                text[second] = '\0';
                lists.entries.push_back({text.data() + first + 1, text.data() + at});
            }
        }
        text[lineEnd] = '\0';
        at = lineEnd + 2;
    }
}

void fill() {
    int64_t siteBytes = 0, addressBytes = 0;
    for (const Entry& entry : lists.entries) {
        siteBytes += static_cast<int64_t>(strlen(entry.site)) + 1;
        addressBytes += static_cast<int64_t>(strlen(entry.address)) + 1;
    }
    const WPARAM count = lists.entries.size();
    for (HWND list : {lists.sites, lists.addresses}) {
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
    }
    SendMessageA(lists.sites, LB_INITSTORAGE, count, static_cast<LPARAM>(siteBytes));
    SendMessageA(lists.addresses, LB_INITSTORAGE, count, static_cast<LPARAM>(addressBytes));
    for (const Entry& entry : lists.entries)
        SendMessageA(lists.sites, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.site));
    for (const Entry& entry : lists.entries)
        SendMessageA(lists.addresses, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.address));
    for (HWND list : {lists.sites, lists.addresses}) {
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
}

void onClick(HWND window, int id) {
    if (id == control_id::addButton) {
        const int length = GetWindowTextLengthA(lists.edit);
        std::string& site = lists.added.emplace_back(static_cast<size_t>(length) + 1, '\0');
        site.resize(static_cast<size_t>(GetWindowTextA(lists.edit, site.data(), length + 1)));
        lists.entries.push_back({site.c_str(), "127.0.0.1"});
    } else if (id == control_id::removeButton) {
        const LRESULT selected = SendMessageA(lists.sites, LB_GETCURSEL, 0, 0);
        if (selected < 0 || static_cast<size_t>(selected) >= lists.entries.size()) return;
        lists.entries.erase(lists.entries.begin() + selected);
    } else {
        return;
    }
    fill();
    const bool wasActive = GetActiveWindow() == window;
    MessageBoxA(nullptr, changeSavedText, messageCaption, MB_OK | MB_TASKMODAL);
    if (wasActive) SetForegroundWindow(window);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED) onClick(hwnd, LOWORD(wp));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

HWND child(HWND parent, const char* className, const char* text, DWORD style, DWORD exStyle, int id, int x,
           int y, int width, int height) {
    HWND hwnd = CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return hwnd;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = floorClassName;
    if (!RegisterClassExA(&wc)) return 1;
    HWND window = CreateWindowExA(0, floorClassName, "floor", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                                  (GetSystemMetrics(SM_CXSCREEN) - 368) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - 276) / 2, 368, 276, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    // The list boxes of the program: the same styles, places and font.
    constexpr DWORD listStyle = WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_USETABSTOPS | LBS_NOTIFY;
    lists.sites = child(window, "LISTBOX", "", listStyle, WS_EX_CLIENTEDGE, control_id::siteList, 10, 45, 342, 118);
    lists.addresses =
        child(window, "LISTBOX", "", listStyle, WS_EX_CLIENTEDGE, control_id::addressList, 362, 46, 168, 120);
    lists.edit = child(window, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, control_id::editBox, 8,
                       201, 144, 26);
    child(window, "BUTTON", addButtonText, WS_TABSTOP | BS_PUSHBUTTON, 0, control_id::addButton, 160, 199, 56, 32);
    child(window, "BUTTON", removeButtonText, WS_TABSTOP | BS_PUSHBUTTON, 0, control_id::removeButton, 288, 200,
          56, 32);
    if (!lists.sites || !lists.addresses || !lists.edit) return 1;

    lists.file = readHostsFile();
    parse(lists.file);
    fill();
    ShowWindow(window, SW_SHOW);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
