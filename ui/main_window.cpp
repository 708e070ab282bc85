#include "ui/main_window.h"

#include <shellapi.h>

#include <algorithm>
#include <iterator>
#include <limits>

#include "resources/resource_ids.h"
#include "ui/control_ids.h"
#include "ui/icon_choice.h"
#include "ui/ui_texts.h"

namespace {

constexpr int windowWidth = 368;
constexpr int windowHeight = 276;
constexpr DWORD windowStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

constexpr DWORD childStyle = WS_CHILD | WS_CLIPSIBLINGS;
constexpr DWORD labelStyle = childStyle;
// No LBS_SORT: an appended item goes last, which keeps the two lists paired.
constexpr DWORD listStyle = childStyle | WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT |
                            LBS_USETABSTOPS | LBS_NOTIFY;
constexpr DWORD editStyle = childStyle | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD buttonStyle =
    childStyle | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;

struct ControlRow {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;
};

// In creation order, which is also the focus order of those with WS_TABSTOP.
// The address list and the fourth button lie beyond the right edge of the
// client area: they exist and take the focus, but are never seen.
const ControlRow controls[] = {
    {control_id::label1, labelClassName, label1Text, labelStyle, 0, 10, 16, 126, 24},
    {control_id::siteList, "LISTBOX", "", listStyle, WS_EX_CLIENTEDGE, 10, 45, 342, 118},
    {control_id::editBox, "EDIT", "", editStyle, WS_EX_CLIENTEDGE, 8, 201, 144, 26},
    {control_id::label2, labelClassName, label2Text, labelStyle, 0, 8, 171, 126, 24},
    {control_id::addButton, "BUTTON", addButtonText, buttonStyle, 0, 160, 199, 56, 32},
    {control_id::refreshButton, "BUTTON", refreshButtonText, buttonStyle, 0, 223, 199, 56, 32},
    {control_id::removeButton, "BUTTON", removeButtonText, buttonStyle, 0, 288, 200, 56, 32},
    {control_id::addressList, "LISTBOX", "", listStyle, WS_EX_CLIENTEDGE, 362, 46, 168, 120},
    {control_id::button4, "BUTTON", button4Text, buttonStyle, 0, 440, 192, 80, 32},
};

static_assert(std::size(controls) == 9, "MainWindow::controlCount");

HFONT guiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

// A label paints itself: the face colour, then its caption in black on one
// line, vertically centred, '&' drawn as it is. Its font is kept in the
// window's extra bytes.
LRESULT CALLBACK labelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SETFONT:
        SetWindowLongPtrA(hwnd, 0, static_cast<LONG_PTR>(wp));
        if (LOWORD(lp)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return GetWindowLongPtrA(hwnd, 0);
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT fills the whole rectangle
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rect;
        GetClientRect(hwnd, &rect);
        FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
        char caption[256];
        const int length = GetWindowTextA(hwnd, caption, sizeof caption);
        HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrA(hwnd, 0)));
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, caption, length, &rect, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, oldFont);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

bool registerClass(const WNDCLASSEXA& wc) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    return GetClassInfoExA(wc.hInstance, wc.lpszClassName, &existing) || RegisterClassExA(&wc);
}

bool registerClasses(HINSTANCE instance, WNDPROC mainProc) {
    WNDCLASSEXA main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = mainProc;
    main.hInstance = instance;
    main.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    main.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    main.lpszClassName = mainWindowClassName;

    WNDCLASSEXA label{};
    label.cbSize = sizeof label;
    label.style = CS_HREDRAW | CS_VREDRAW;
    label.lpfnWndProc = labelProc;
    label.cbWndExtra = sizeof(LONG_PTR);
    label.hInstance = instance;
    label.hCursor = main.hCursor;
    label.lpszClassName = labelClassName;
    return registerClass(main) && registerClass(label);
}

// The icon group resource: a directory whose entries name RT_ICON resources.
#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInResource;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

std::vector<GroupIconEntry> iconGroup(HINSTANCE instance) {
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDI_HOSTS_BLACKLIST),
                                reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = found ? SizeofResource(instance, found) : 0;
    if (!bytes || size < sizeof(GroupIconHeader)) return {};
    GroupIconHeader header;
    memcpy(&header, bytes, sizeof header);
    const size_t count = std::min<size_t>(header.count, (size - sizeof header) / sizeof(GroupIconEntry));
    std::vector<GroupIconEntry> entries(count);
    memcpy(entries.data(), bytes + sizeof header, count * sizeof(GroupIconEntry));
    return entries;
}

// The image as an icon of its own size, or nullptr.
HICON iconFromImage(HINSTANCE instance, const GroupIconEntry& entry) {
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(entry.id), reinterpret_cast<LPCSTR>(RT_ICON));
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    auto* bits = static_cast<BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!bits) return nullptr;
    const int width = entry.width ? entry.width : 256;
    const int height = entry.height ? entry.height : 256;
    return CreateIconFromResourceEx(bits, SizeofResource(instance, found), TRUE, 0x00030000, width,
                                    height, LR_DEFAULTCOLOR);
}

}  // namespace

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (largeIcon_) DestroyIcon(largeIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
}

bool MainWindow::create(HINSTANCE instance, MainWindowEvents& events) {
    events_ = &events;
    if (!build(instance)) {
        if (hwnd_) DestroyWindow(hwnd_);
        return false;
    }
    built_ = true;
    for (HWND control : controls_) ShowWindow(control, SW_SHOWNA);
    events_->onWindowCreated();
    ShowWindow(hwnd_, SW_SHOW);
    return true;
}

bool MainWindow::build(HINSTANCE instance) {
    if (!registerClasses(instance, windowProc)) return false;
    // Centred on the whole primary screen; integer division truncates toward zero.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - windowWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - windowHeight) / 2;
    const Text title = mainWindowTitle();
    if (!CreateWindowExA(0, mainWindowClassName, title.c_str(), windowStyle, x, y, windowWidth,
                         windowHeight, nullptr, nullptr, instance, this))
        return false;
    RECT rect;
    GetWindowRect(hwnd_, &rect);
    if (rect.right - rect.left != windowWidth || rect.bottom - rect.top != windowHeight)
        SetWindowPos(hwnd_, nullptr, x, y, windowWidth, windowHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    setIcons(instance);

    for (size_t i = 0; i < std::size(controls); ++i) {
        const ControlRow& row = controls[i];
        controls_[i] = CreateWindowExA(row.exStyle, row.className, row.text, row.style, row.x,
                                       row.y, row.width, row.height, hwnd_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                                       instance, nullptr);
        if (!controls_[i]) return false;
        SendMessageA(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(guiFont()), FALSE);
    }
    for (ListId list : {ListId::Sites, ListId::Addresses}) {
        HWND box = listBox(list);
        const LRESULT height = SendMessageA(box, LB_GETITEMHEIGHT, 0, 0);
        SendMessageA(box, LB_SETITEMHEIGHT, 0, MAKELPARAM(height + 1, 0));
    }
    // 0 lifts the edit box's own limit to the system's maximum.
    SendMessageA(control(control_id::editBox), EM_SETLIMITTEXT, 0, 0);
    return true;
}

// The large icon and the small one are made from the images that
// chooseWindowIcons picks from the program's icon group, each at its own size.
// An icon that cannot be made so is the program file's own icon, loaded at
// 32 x 32 or 16 x 16.
void MainWindow::setIcons(HINSTANCE instance) {
    const std::vector<GroupIconEntry> group = iconGroup(instance);
    std::vector<IconImageInfo> directory;
    for (const GroupIconEntry& entry : group) directory.push_back({entry.width, entry.colorCount});
    const IconChoice choice = chooseWindowIcons(directory);

    auto make = [&](int index, int fallbackSize) {
        HICON icon = index >= 0 ? iconFromImage(instance, group[index]) : nullptr;
        if (!icon)
            icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_HOSTS_BLACKLIST),
                                                 IMAGE_ICON, fallbackSize, fallbackSize, 0));
        return icon;
    };
    largeIcon_ = make(choice.large, 32);
    smallIcon_ = make(choice.small, 16);
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* created = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        created->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return self ? self->handleMessage(hwnd, msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT MainWindow::handleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        onCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 0));
        SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case WM_ACTIVATE:
        return onActivate(hwnd, msg, wp, lp);
    case WM_SETFOCUS:
        restoreFocus();
        return 0;
    case WM_DESTROY:
        onDestroy();
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        return DefWindowProcA(hwnd, msg, wp, lp);
    default:
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

void MainWindow::onCommand(int id, int code) {
    if (code != BN_CLICKED || !built_) return;
    switch (id) {
    case control_id::addButton:
        events_->onAddClicked();
        break;
    case control_id::refreshButton:
        events_->onRefreshClicked();
        break;
    case control_id::removeButton:
        events_->onRemoveClicked();
        break;
    case control_id::button4:
        break;  // bound, and a click on it does nothing
    }
}

// Remembers the focused control when the window is deactivated and gives it the
// focus back when the window is activated again.
LRESULT MainWindow::onActivate(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus)) lastFocus_ = focus;
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    if (HIWORD(wp)) return DefWindowProcA(hwnd, msg, wp, lp);  // minimized
    restoreFocus();
    return 0;
}

// The control that had the focus when the window was last deactivated, if it
// still exists; otherwise the first control of the focus order.
void MainWindow::restoreFocus() {
    if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_)) {
        SetFocus(lastFocus_);
        return;
    }
    const std::vector<HWND> order = focusOrder();
    if (!order.empty()) SetFocus(order.front());
}

void MainWindow::onDestroy() {
    // The program has this one window: once it is gone, the loop may end.
    if (built_) PostQuitMessage(0);
}

// The controls that take the focus and now are visible and enabled, in
// creation order.
std::vector<HWND> MainWindow::focusOrder() const {
    std::vector<HWND> order;
    for (size_t i = 0; i < std::size(controls); ++i) {
        HWND control = controls_[i];
        if ((controls[i].style & WS_TABSTOP) && IsWindow(control) && IsWindowVisible(control) &&
            IsWindowEnabled(control))
            order.push_back(control);
    }
    return order;
}

bool MainWindow::handleKeyboard(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !hwnd_) return false;
    if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
    // Alt turns a key into WM_SYSKEYDOWN; Ctrl and the Windows keys make it
    // another key, which the window leaves to the control.
    const auto down = [](int key) { return GetKeyState(key) < 0; };
    if (down(VK_CONTROL) || down(VK_LWIN) || down(VK_RWIN)) return false;
    const bool shift = down(VK_SHIFT);
    switch (msg.wParam) {
    case VK_TAB:
        moveFocus(shift);
        return true;
    case VK_ESCAPE:
        if (shift) return false;
        SendMessageA(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);  // as the close button does
        return true;
    case VK_RETURN:
        return !shift && clickDefaultButton();
    default:
        return false;
    }
}

void MainWindow::moveFocus(bool backwards) {
    const std::vector<HWND> order = focusOrder();
    if (order.empty()) return;
    const auto at = std::find(order.begin(), order.end(), GetFocus());
    const auto count = static_cast<ptrdiff_t>(order.size());
    ptrdiff_t next;
    if (at == order.end())
        next = backwards ? count - 1 : 0;
    else
        next = ((at - order.begin()) + (backwards ? count - 1 : 1)) % count;
    SetFocus(order[next]);
}

// Enter clicks the focused button if it is a default push button, otherwise
// the first default push button of the window. False when there is none: then
// the key goes on to the focused control.
bool MainWindow::clickDefaultButton() {
    const auto isDefaultButton = [](HWND control) {
        char className[16] = {};
        GetClassNameA(control, className, sizeof className);
        return lstrcmpiA(className, "BUTTON") == 0 &&
               (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    };
    HWND target = nullptr;
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus) && isDefaultButton(focus)) target = focus;
    for (HWND control : controls_) {
        if (target) break;
        if (IsWindow(control) && isDefaultButton(control)) target = control;
    }
    if (!target) return false;
    PostMessageA(target, BM_CLICK, 0, 0);
    return true;
}

HWND MainWindow::listBox(ListId list) const {
    return control(list == ListId::Sites ? control_id::siteList : control_id::addressList);
}

// The handle kept at creation: GetDlgItem would ask the window system for the
// list of children on every call, which costs a round trip under Wine.
HWND MainWindow::control(int id) const {
    for (size_t i = 0; i < std::size(controls); ++i)
        if (controls[i].id == id) return controls_[i];
    return nullptr;
}

Text MainWindow::editText() {
    HWND edit = control(control_id::editBox);
    Text text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

int32_t MainWindow::selectedIndex() {
    return static_cast<int32_t>(SendMessageA(listBox(ListId::Sites), LB_GETCURSEL, 0, 0));
}

int32_t MainWindow::itemCount(ListId list) {
    return static_cast<int32_t>(SendMessageA(listBox(list), LB_GETCOUNT, 0, 0));
}

Text MainWindow::itemText(ListId list, int32_t index) {
    HWND box = listBox(list);
    if (index < 0 || index >= SendMessageA(box, LB_GETCOUNT, 0, 0)) return {};
    // LB_GETTEXT needs the length first; the item may hold GBK double-byte text.
    const LRESULT length = SendMessageA(box, LB_GETTEXTLEN, index, 0);
    if (length < 0) return {};
    Text text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(box, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
    return text;
}

void MainWindow::beginRefill() {
    for (ListId list : {ListId::Sites, ListId::Addresses})
        SendMessageA(listBox(list), WM_SETREDRAW, FALSE, 0);
}

void MainWindow::endRefill() {
    for (ListId list : {ListId::Sites, ListId::Addresses}) {
        HWND box = listBox(list);
        SendMessageA(box, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(box, nullptr, TRUE);
    }
}

void MainWindow::resetList(ListId list) { SendMessageA(listBox(list), LB_RESETCONTENT, 0, 0); }

void MainWindow::reserveItems(ListId list, int32_t count, int64_t bytes) {
    const auto clampedBytes = std::min<int64_t>(bytes, std::numeric_limits<int32_t>::max());
    SendMessageA(listBox(list), LB_INITSTORAGE, static_cast<WPARAM>(count),
                 static_cast<LPARAM>(clampedBytes));
}

bool MainWindow::appendItem(ListId list, const Text& text) {
    const LRESULT result = SendMessageA(listBox(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return result != LB_ERR && result != LB_ERRSPACE;
}

void MainWindow::removeItem(ListId list, int32_t index) {
    SendMessageA(listBox(list), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void MainWindow::showMessage(const Text& text) {
    // No owner; MB_TASKMODAL disables every top-level window of this thread
    // while the box is up. The box goes while this window is still disabled,
    // so the system hands the activation to no window of ours: the window
    // takes it back itself, and with it the focus it had before the box.
    const bool wasActive = hwnd_ && GetActiveWindow() == hwnd_;
    MessageBoxA(nullptr, text.c_str(), messageCaption, MB_OK | MB_TASKMODAL);
    if (wasActive && hwnd_) SetForegroundWindow(hwnd_);
}

void MainWindow::openWebAddress(const Text& address) {
    HWND owner = FindWindowExA(nullptr, nullptr, nullptr, "Microsoft Internet Explorer");
    ShellExecuteA(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
