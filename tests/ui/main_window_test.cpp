// The real main window, built under Wine on a private X screen: its frame,
// controls, colours, font and icons, the events it raises, its keys and focus,
// and the list boxes as the controller fills them.

#include "ui/main_window.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/temp_folder.h"
#include "resources/resource_ids.h"
#include "ui/control_ids.h"
#include "ui/main_window_controller.h"
#include "ui/ui_texts.h"

namespace {

using Strings = std::vector<std::string>;

// Notes each event the window raises, with what the window looked like then.
struct RecordedEvents : MainWindowEvents {
    MainWindow* window = nullptr;
    Strings events;
    bool windowVisibleAtCreated = true;
    bool controlsVisibleAtCreated = false;

    void onWindowCreated() override {
        events.push_back("created");
        HWND hwnd = window->handle();
        windowVisibleAtCreated = IsWindowVisible(hwnd);
        // Shown, though not yet seen: the window itself is still hidden.
        controlsVisibleAtCreated = true;
        for (int id = control_id::label1; id <= control_id::button4; ++id)
            controlsVisibleAtCreated = controlsVisibleAtCreated &&
                                       (GetWindowLongA(GetDlgItem(hwnd, id), GWL_STYLE) & WS_VISIBLE);
    }
    void onAddClicked() override { events.push_back("add"); }
    void onRefreshClicked() override { events.push_back("refresh"); }
    void onRemoveClicked() override { events.push_back("remove"); }
};

// Handles what is waiting in this thread's queue, as the program's loop does.
void pump(MainWindow* window = nullptr) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        if (window && window->handleKeyboard(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// True when a quit request was waiting; takes it and every other message.
bool takeQuitRequest(WPARAM& code) {
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) {
            found = true;
            code = msg.wParam;
        }
    return found;
}

std::string windowText(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

RECT rectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

class Window : public ::testing::Test {
protected:
    RecordedEvents events;
    MainWindow window;

    void SetUp() override {
        events.window = &window;
        ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), events));
        pump();
    }
    void TearDown() override {
        if (window.handle()) DestroyWindow(window.handle());
        WPARAM code;
        takeQuitRequest(code);
    }
    HWND control(int id) const { return GetDlgItem(window.handle(), id); }
    // A key press as the message loop takes it from the queue, with Shift or
    // Ctrl held as given.
    bool press(WPARAM key, bool shift = false, bool ctrl = false) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(keys);
        MSG msg{GetFocus(), WM_KEYDOWN, key, 1, 0, {}};
        const bool used = window.handleKeyboard(msg);
        keys[VK_SHIFT] = keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
        return used;
    }
};

TEST_F(Window, FrameTitlePlaceAndClass) {
    HWND hwnd = window.handle();
    RECT rect;
    GetWindowRect(hwnd, &rect);
    // The tests run on an 801 x 601 screen (tests/CMakeLists.txt): the halves
    // of the odd leftovers are cut off.
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 801);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 601);
    EXPECT_EQ(describe(rect), describe(RECT{216, 162, 216 + 368, 162 + 276}));

    const auto style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
    for (DWORD bit : {DWORD{WS_CAPTION}, DWORD{WS_SYSMENU}, DWORD{WS_CLIPCHILDREN}, DWORD{WS_VISIBLE}})
        EXPECT_EQ(style & bit, bit);
    for (DWORD bit : {DWORD{WS_THICKFRAME}, DWORD{WS_MINIMIZEBOX}, DWORD{WS_MAXIMIZEBOX},
                      DWORD{WS_POPUP}, DWORD{WS_CHILD}, DWORD{WS_DISABLED}})
        EXPECT_EQ(style & bit, 0u);
    // The system adds WS_EX_WINDOWEDGE to every window with a dialog frame.
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), nullptr);
    EXPECT_EQ(GetMenu(hwnd), nullptr);
    EXPECT_FALSE(IsIconic(hwnd) || IsZoomed(hwnd));

    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_LE(client.right, 362) << "the two unseen controls would show";

    EXPECT_EQ(windowText(hwnd), "\xcd\xf8\xd5\xbe\xba\xda\xc3\xfb\xb5\xa5(example.com)");
    EXPECT_EQ(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(hwnd, GCLP_HCURSOR)),
              LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));

    // The labels' class: the arrow, no background brush, redrawn whole when resized.
    HWND label = control(control_id::label1);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(label, GCLP_HCURSOR)),
              LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    EXPECT_EQ(GetClassLongPtrA(label, GCLP_HBRBACKGROUND), 0);
    EXPECT_EQ(GetClassLongA(label, GCL_STYLE) & (CS_HREDRAW | CS_VREDRAW), CS_HREDRAW | CS_VREDRAW);
}

TEST_F(Window, ControlsAsLaidOut) {
    const LONG child = WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE;
    const LONG list = child | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_USETABSTOPS | LBS_NOTIFY;
    const LONG button = child | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
    struct {
        int id;
        const char* className;
        std::string text;
        LONG style;
        LONG exStyle;
        RECT rect;
    } cases[] = {
        {control_id::label1, labelClassName, label1Text, child, 0, {10, 16, 136, 40}},
        {control_id::siteList, "ListBox", "", list, WS_EX_CLIENTEDGE, {10, 45, 352, 163}},
        {control_id::label2, labelClassName, label2Text, child, 0, {8, 171, 134, 195}},
        {control_id::editBox, "Edit", "", child | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL,
         WS_EX_CLIENTEDGE, {8, 201, 152, 227}},
        {control_id::addButton, "Button", "\xbc\xd3\xc8\xeb", button, 0, {160, 199, 216, 231}},
        {control_id::refreshButton, "Button", refreshButtonText, button, 0, {223, 199, 279, 231}},
        {control_id::removeButton, "Button", removeButtonText, button, 0, {288, 200, 344, 232}},
        {control_id::addressList, "ListBox", "", list, WS_EX_CLIENTEDGE, {362, 46, 530, 166}},
        {control_id::button4, "Button", "\xb0\xb4\xc5\xa5", button, 0, {440, 192, 520, 224}},  // 按钮
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        HWND hwnd = control(c.id);
        ASSERT_NE(hwnd, nullptr);
        char className[64] = {};
        GetClassNameA(hwnd, className, sizeof className);
        EXPECT_STRCASEEQ(className, c.className);
        EXPECT_EQ(windowText(hwnd), c.text);
        // A list box shows and hides its scroll bar itself, so WS_VSCROLL comes and goes.
        EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE) & ~WS_VSCROLL, c.style);
        EXPECT_EQ(GetWindowLongA(hwnd, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, c.exStyle);
        EXPECT_EQ(describe(rectInParent(hwnd)), describe(c.rect));
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0)),
                  GetStockObject(DEFAULT_GUI_FONT));
        EXPECT_TRUE(IsWindowEnabled(hwnd));
    }
}

TEST_F(Window, ListAndEditOptions) {
    // The reference: a list box with the same font and the system's item height.
    HWND reference = CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 50, 50, window.handle(),
                                     nullptr, nullptr, nullptr);
    SendMessageA(reference, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    const LRESULT defaultHeight = SendMessageA(reference, LB_GETITEMHEIGHT, 0, 0);
    DestroyWindow(reference);
    for (int id : {control_id::siteList, control_id::addressList}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(SendMessageA(control(id), LB_GETITEMHEIGHT, 0, 0), defaultHeight + 1);
        EXPECT_EQ(SendMessageA(control(id), LB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(SendMessageA(control(id), LB_GETCURSEL, 0, 0), LB_ERR);
    }
    // A limit of 0 leaves the system's maximum.
    EXPECT_EQ(SendMessageA(control(control_id::editBox), EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
    DWORD start = 1, end = 1;
    SendMessageA(control(control_id::editBox), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
}

TEST_F(Window, EditAndListBoxesAreBlackOnWhite) {
    HDC dc = CreateCompatibleDC(nullptr);
    for (UINT msg : {WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX}) {
        SCOPED_TRACE(msg);
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(4, 5, 6));
        const LRESULT brush = SendMessageA(window.handle(), msg, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(control(control_id::siteList)));
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(WHITE_BRUSH));
        EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
        EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    }
    DeleteDC(dc);
}

TEST_F(Window, LabelsPaintTheirCaptionInBlackOnTheFaceColour) {
    for (int id : {control_id::label1, control_id::label2}) {
        SCOPED_TRACE(id);
        HWND label = control(id);
        RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        RECT rect;
        GetClientRect(label, &rect);
        HDC dc = GetDC(label);
        int ink = 0, face = 0;
        int darkest = 255, inkLeft = rect.right, inkTop = rect.bottom, inkBottom = -1;
        for (int y = 0; y < rect.bottom; ++y)
            for (int x = 0; x < rect.right; ++x) {
                const COLORREF pixel = GetPixel(dc, x, y);
                if (pixel == GetSysColor(COLOR_BTNFACE)) {
                    ++face;
                    continue;
                }
                ++ink;
                darkest = std::min<int>(darkest, std::max({GetRValue(pixel), GetGValue(pixel), GetBValue(pixel)}));
                inkLeft = std::min<int>(inkLeft, x);
                inkTop = std::min<int>(inkTop, y);
                inkBottom = std::max<int>(inkBottom, y);
            }
        ReleaseDC(label, dc);
        EXPECT_GT(ink, 50) << "no caption drawn";
        EXPECT_LT(darkest, 0x20) << "the caption is not black";
        EXPECT_GT(face, rect.right * rect.bottom / 2) << "background not the face colour";
        EXPECT_LE(inkLeft, 2) << "the caption is not left-aligned";
        // One line, vertically centred: as much room above the ink as below.
        EXPECT_LE(std::abs(inkTop - (rect.bottom - 1 - inkBottom)), 3)
            << "ink from row " << inkTop << " to " << inkBottom << " of " << rect.bottom;
    }
}

TEST_F(Window, BothIconsAreTheSixteenPixelTrueColourImage) {
    for (WPARAM which : {ICON_BIG, ICON_SMALL}) {
        SCOPED_TRACE(which);
        auto icon = reinterpret_cast<HICON>(SendMessageA(window.handle(), WM_GETICON, which, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        ASSERT_NE(info.hbmColor, nullptr);
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, 16);
        EXPECT_EQ(colour.bmHeight, 16);
        EXPECT_EQ(colour.bmBitsPixel, 32);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

TEST_F(Window, CreatedOnceWithEveryControlShownBeforeTheWindowIs) {
    EXPECT_EQ(events.events, Strings{"created"});
    EXPECT_TRUE(events.controlsVisibleAtCreated);
    EXPECT_FALSE(events.windowVisibleAtCreated);
    EXPECT_TRUE(IsWindowVisible(window.handle()));
}

TEST_F(Window, ButtonClicksRaiseTheirEventsAndTheFourthNone) {
    struct { int id; Strings expect; } cases[] = {
        {control_id::addButton, {"add"}},
        {control_id::refreshButton, {"refresh"}},
        {control_id::removeButton, {"remove"}},
        {control_id::button4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        events.events.clear();
        SendMessageA(control(c.id), BM_CLICK, 0, 0);
        pump();
        EXPECT_EQ(events.events, c.expect);
    }
}

TEST_F(Window, ClosingDestroysItAndAsksTheLoopToEndWithZero) {
    SendMessageA(window.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(window.handle(), nullptr);
    WPARAM code = 99;
    EXPECT_TRUE(takeQuitRequest(code));
    EXPECT_EQ(code, 0u);
}

TEST_F(Window, TabAndShiftTabFollowTheFocusOrderRoundAndRound) {
    const int order[] = {control_id::siteList,     control_id::editBox,       control_id::addButton,
                         control_id::refreshButton, control_id::removeButton, control_id::addressList,
                         control_id::button4};
    for (size_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(order[i]);
        SetFocus(control(order[i]));
        EXPECT_TRUE(press(VK_TAB));
        EXPECT_EQ(GetFocus(), control(order[(i + 1) % 7]));
        SetFocus(control(order[i]));
        EXPECT_TRUE(press(VK_TAB, /*shift=*/true));
        EXPECT_EQ(GetFocus(), control(order[(i + 6) % 7]));
    }
}

TEST_F(Window, KeysTheWindowLeavesAlone) {
    SetFocus(control(control_id::editBox));
    EXPECT_FALSE(press(VK_RETURN)) << "no default button: Enter goes on to the edit box";
    EXPECT_FALSE(press(VK_TAB, false, /*ctrl=*/true));
    EXPECT_FALSE(press(VK_ESCAPE, /*shift=*/true));
    EXPECT_FALSE(press(VK_F1));
    pump();
    EXPECT_EQ(GetFocus(), control(control_id::editBox));
    EXPECT_NE(window.handle(), nullptr);
    EXPECT_EQ(events.events, Strings{"created"});
}

TEST_F(Window, EnterClicksADefaultButtonWhereThereIsOne) {
    SendMessageA(control(control_id::refreshButton), BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
    SetFocus(control(control_id::editBox));
    EXPECT_TRUE(press(VK_RETURN));
    pump();
    EXPECT_EQ(events.events, Strings({"created", "refresh"}));
}

TEST_F(Window, EscapeClosesFromAnyControl) {
    SetFocus(control(control_id::editBox));
    EXPECT_TRUE(press(VK_ESCAPE));
    EXPECT_EQ(window.handle(), nullptr);
}

TEST_F(Window, ActivationGivesTheFocusBackToTheControlThatHadIt) {
    ASSERT_TRUE(SetForegroundWindow(window.handle()));
    pump();
    EXPECT_EQ(GetFocus(), control(control_id::siteList)) << "the first time: the site list";

    HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                                 100, nullptr, nullptr, nullptr, nullptr);
    struct { const char* name; int focused; bool destroyMeanwhile; int expect; } cases[] = {
        {"button", control_id::refreshButton, false, control_id::refreshButton},
        {"unseen list", control_id::addressList, false, control_id::addressList},
        {"control gone", control_id::removeButton, true, control_id::siteList},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetFocus(control(c.focused));
        SetForegroundWindow(other);
        pump();
        ASSERT_EQ(GetForegroundWindow(), other);
        if (c.destroyMeanwhile) DestroyWindow(control(c.focused));
        SetForegroundWindow(window.handle());
        pump();
        EXPECT_EQ(GetFocus(), control(c.expect));
    }
    DestroyWindow(other);
}

TEST_F(Window, ItemTextOutsideTheListIsEmpty) {
    for (const char* text : {"a.com", "\xd6\xd0\xce\xc4.cn", "tab\there"}) window.appendItem(ListId::Sites, text);
    struct { int32_t index; Text expect; } cases[] = {
        {-1, ""}, {0, "a.com"}, {1, "\xd6\xd0\xce\xc4.cn"}, {2, "tab\there"}, {3, ""}, {1000, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(window.itemText(ListId::Sites, c.index), c.expect);
    }
    EXPECT_EQ(window.itemText(ListId::Addresses, 0), "");
    EXPECT_EQ(window.itemCount(ListId::Sites), 3);
    EXPECT_EQ(window.selectedIndex(), -1);
    SendMessageA(control(control_id::siteList), LB_SETCURSEL, 2, 0);
    EXPECT_EQ(window.selectedIndex(), 2);
}

// How the controller takes back the site of an entry whose address the other
// list refused: the items after it move up, the other list is untouched.
TEST_F(Window, RemoveItemTakesOutThatItemAlone) {
    for (const char* text : {"a.com", "b.com", "c.com"}) window.appendItem(ListId::Sites, text);
    window.appendItem(ListId::Addresses, "127.0.0.1");
    window.removeItem(ListId::Sites, 1);
    EXPECT_EQ(window.itemCount(ListId::Sites), 2);
    EXPECT_EQ(window.itemText(ListId::Sites, 0), "a.com");
    EXPECT_EQ(window.itemText(ListId::Sites, 1), "c.com");
    EXPECT_EQ(window.itemCount(ListId::Addresses), 1);
}

TEST_F(Window, EditTextIsTheBoxsBytes) {
    for (const char* text : {"", "a.com", "\xd6\xd0\xce\xc4.cn", " two words "}) {
        SCOPED_TRACE(text);
        SetWindowTextA(control(control_id::editBox), text);
        EXPECT_EQ(window.editText(), text);
    }
}

// The real controller with a hosts file in a temporary folder.
class FilledWindow : public Window {
protected:
    TempFolder folder;
    HostsBlacklist blacklist{systemFileSystem(), [this] { return folder.path("hosts"); }};
    MainWindowController controller{window, blacklist};

    void fill(int entries) {
        std::string file = "# comment\r\n";
        for (int i = 0; i < entries; ++i)
            file += "127.0.0." + std::to_string(i % 250) + " site" + std::to_string(i) + ".example\r\n";
        folder.write("hosts", file);
        controller.onRefreshClicked();
    }
    bool hasScrollBar(int id) { return GetWindowLongA(control(id), GWL_STYLE) & WS_VSCROLL; }
};

TEST_F(FilledWindow, RefillPairsBothListsAndSelectsNothing) {
    SendMessageA(control(control_id::siteList), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("old"));
    SendMessageA(control(control_id::siteList), LB_SETCURSEL, 0, 0);
    fill(300);
    ASSERT_EQ(window.itemCount(ListId::Sites), 300);
    ASSERT_EQ(window.itemCount(ListId::Addresses), 300);
    for (int i : {0, 1, 149, 299}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(window.itemText(ListId::Sites, i), "site" + std::to_string(i) + ".example");
        EXPECT_EQ(window.itemText(ListId::Addresses, i), "127.0.0." + std::to_string(i % 250));
    }
    EXPECT_EQ(window.selectedIndex(), -1);
}

TEST_F(FilledWindow, AScrollBarOnlyWhileTheItemsDoNotFit) {
    fill(3);
    pump();
    EXPECT_FALSE(hasScrollBar(control_id::siteList));
    fill(50);
    pump();
    EXPECT_TRUE(hasScrollBar(control_id::siteList));
    EXPECT_TRUE(hasScrollBar(control_id::addressList));
    fill(0);
    pump();
    EXPECT_FALSE(hasScrollBar(control_id::siteList));
}

// What a list box was asked to do and when it painted, in one log for both.
Strings* paintLog = nullptr;
WNDPROC originalListProc = nullptr;
LRESULT CALLBACK loggingListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const char* name = nullptr;
    switch (msg) {
    case LB_RESETCONTENT: name = "reset"; break;
    case LB_ADDSTRING: name = "add"; break;
    case WM_PAINT: name = "paint"; break;
    case WM_NCPAINT: name = "frame"; break;
    case WM_ERASEBKGND: name = "erase"; break;
    }
    if (name && paintLog) paintLog->push_back(name);
    return CallWindowProcA(originalListProc, hwnd, msg, wp, lp);
}

TEST_F(FilledWindow, NothingIsPaintedWhileTheListsAreRefilled) {
    fill(20);
    pump();
    Strings log;
    paintLog = &log;
    for (int id : {control_id::siteList, control_id::addressList})
        originalListProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(control(id), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(loggingListProc)));
    fill(200);  // enough to bring up the scroll bars
    pump();
    paintLog = nullptr;

    const auto firstReset = std::find(log.begin(), log.end(), "reset");
    const auto lastAdd = std::find(log.rbegin(), log.rend(), "add").base();
    ASSERT_NE(firstReset, log.end());
    for (auto it = firstReset; it != lastAdd; ++it)
        EXPECT_TRUE(*it == "reset" || *it == "add") << *it << " during the refill";
    EXPECT_NE(std::find(lastAdd, log.end(), "paint"), log.end()) << "not repainted afterwards";
}

// A list box that refuses one text, as one that has run out of room would.
WNDPROC originalAddressProc = nullptr;
LRESULT CALLBACK refusingListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == LB_ADDSTRING && std::string(reinterpret_cast<const char*>(lp)) == "127.0.0.9")
        return LB_ERRSPACE;
    return CallWindowProcA(originalAddressProc, hwnd, msg, wp, lp);
}

TEST_F(FilledWindow, ARefusedItemIsLeftOutOfBothLists) {
    originalAddressProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        control(control_id::addressList), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(refusingListProc)));
    fill(12);
    ASSERT_EQ(window.itemCount(ListId::Sites), 11);
    ASSERT_EQ(window.itemCount(ListId::Addresses), 11);
    for (int i = 0; i < 11; ++i) {
        const int entry = i < 9 ? i : i + 1;
        EXPECT_EQ(window.itemText(ListId::Sites, i), "site" + std::to_string(entry) + ".example");
        EXPECT_EQ(window.itemText(ListId::Addresses, i), "127.0.0." + std::to_string(entry));
    }
}

TEST_F(Window, WebAddressGoesToTheShell) {
    const std::string log = "C:\\browser-log.txt";
    DeleteFileA(log.c_str());
    window.openWebAddress(publisherWebAddress);
    std::string seen;
    for (int i = 0; i < 200 && seen.empty(); ++i) {
        Sleep(50);
        std::ifstream in(log, std::ios::binary);
        seen.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(seen, "https://example.com/\r\n");
}

bool isMainWindow(HWND hwnd) {
    char className[64] = {};
    return hwnd && GetClassNameA(hwnd, className, sizeof className) &&
           std::string(className) == mainWindowClassName;
}

// Refuses the creation of the n-th of the main window (0) and its controls
// (1 to 9), as the system does when it runs out of resources. Other windows
// the system makes for the thread are left alone.
int creationsLeft = -1;
LRESULT CALLBACK refuseCreation(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lp)->lpcs;
        const bool ours = isMainWindow(reinterpret_cast<HWND>(wp)) || isMainWindow(create->hwndParent);
        if (ours && creationsLeft >= 0 && creationsLeft-- == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

TEST(WindowCreation, FailsWholeWhenAnyWindowCannotBeCreated) {
    for (int refused = 0; refused < 10; ++refused) {
        SCOPED_TRACE(refused);
        RecordedEvents events;
        MainWindow window;
        events.window = &window;
        creationsLeft = refused;
        HHOOK hook = SetWindowsHookExA(WH_CBT, refuseCreation, nullptr, GetCurrentThreadId());
        const bool created = window.create(GetModuleHandleA(nullptr), events);
        UnhookWindowsHookEx(hook);

        EXPECT_FALSE(created);
        EXPECT_EQ(window.handle(), nullptr);
        EXPECT_EQ(FindWindowA(mainWindowClassName, nullptr), nullptr);
        EXPECT_TRUE(events.events.empty());
        WPARAM code;
        EXPECT_FALSE(takeQuitRequest(code));
    }
}

}  // namespace
