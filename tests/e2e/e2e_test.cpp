// The real hosts-blacklist.exe, driven from outside as a user would: it runs
// as a process of its own in a sandbox prefix on a private X screen, and this
// driver reads and works its window with window messages (LB_GETTEXT,
// WM_SETTEXT, BM_CLICK posted, since a click handler shows a modal box) and
// with real key presses and mouse clicks (SendInput). Each case writes the
// prefix's hosts file first.
//
// Usage: e2e_tests --app=PATH --probe=PATH [gtest options]

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/driver.h"
#include "ui/ui_texts.h"

namespace {

std::string appPath, probePath;  // Windows paths of the program and the fatal-path probe

const std::string sampleHosts = "# hosts of the test\r\n127.0.0.1 ads.example\r\n0.0.0.0 \xd6\xd0\xce\xc4.cn\r\n"
                                "127.0.0.1\tnot-listed\r\n127.0.0.1 tracker.example\r\n";
const Strings sampleSites{"ads.example", "\xd6\xd0\xce\xc4.cn", "tracker.example"};
const Strings sampleAddresses{"127.0.0.1", "0.0.0.0", "127.0.0.1"};

// A fresh hosts file and browser log, and the program started on them.
class Program : public ::testing::Test {
protected:
    void start(const std::string* hosts = &sampleHosts, const char* debugChannels = nullptr) {
        DeleteFileA(browserLog);
        if (hosts)
            writeFile(hostsPath, *hosts);
        else
            DeleteFileA(hostsPath);
        app = std::make_unique<Process>(appPath, "", debugChannels);
        ASSERT_TRUE(app->started());
        main = app->waitForMainWindow();
        ASSERT_NE(main, nullptr) << "no window";
    }
    HWND control(int id) const { return GetDlgItem(main, id); }
    Strings sites() const { return listItems(control(control_id::siteList)); }
    Strings addresses() const { return listItems(control(control_id::addressList)); }
    void click(int id) { PostMessageA(control(id), BM_CLICK, 0, 0); }
    void setEdit(const char* text) {
        SendMessageA(control(control_id::editBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    std::string editText() const { return windowText(control(control_id::editBox)); }
    int selection() const {
        return static_cast<int>(SendMessageA(control(control_id::siteList), LB_GETCURSEL, 0, 0));
    }
    // Brings the program to the front, so that key presses go to it.
    void activate() {
        SetForegroundWindow(main);
        ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == main; }));
    }
    // Presses a key and waits until the focus has gone to `expect`.
    bool pressAndWaitForFocus(WORD key, WORD modifier, int expect) {
        pressKey(key, modifier);
        return waitUntil([&] { return app->focus() == control(expect); }, 5000);
    }
    // The program handles a refresh posted after whatever was posted before:
    // once the lists show `marker`, everything before it has been handled.
    void waitForPostedClicksHandled() {
        const std::string marker = "127.0.0.1 sync-marker.example";
        const std::string before = readFile(hostsPath);
        writeFile(hostsPath, marker);
        click(control_id::refreshButton);
        ASSERT_TRUE(waitUntil([&] { return sites() == Strings{"sync-marker.example"}; }));
        writeFile(hostsPath, before);
    }
    // The box the program shows now, closed with its OK button.
    Box takeMessageBox() {
        HWND hwnd = app->waitForMessageBox();
        if (!hwnd) return {};
        Box box = readBox(hwnd);
        boxSeenWhileMainDisabled = !IsWindowEnabled(main);
        sitesBehindBox = sites();
        addressesBehindBox = addresses();
        selectionBehindBox = selection();
        editBehindBox = editText();
        hostsBehindBox = readFile(hostsPath);
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(hwnd); }));
        return box;
    }
    void expectInfoBox(const Box& box, const char* text) {
        EXPECT_EQ(box.caption, messageCaption);
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.buttons, 1);
        EXPECT_TRUE(box.okButton);
        EXPECT_FALSE(box.icon);
        EXPECT_EQ(box.exStyle & WS_EX_TOPMOST, 0) << "task-modal, not system-modal";
        EXPECT_TRUE(boxSeenWhileMainDisabled) << "the main window took input while the box was up";
    }
    void closeAndExpectExitCode0() {
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(app->exitCode(), 0u);
    }

    std::unique_ptr<Process> app;
    HWND main = nullptr;
    bool boxSeenWhileMainDisabled = false;
    Strings sitesBehindBox, addressesBehindBox;
    int selectionBehindBox = -2;
    std::string editBehindBox, hostsBehindBox;
};

// ---- Start: what the user sees when the program has started ----

class Start : public Program {};

TEST_F(Start, ListsTheFileAfterHandingThePublishersAddressToTheShell) {
    // The shell hands the address to a window titled like this, if there is one.
    HWND browser = CreateWindowExA(0, "STATIC", "Microsoft Internet Explorer", WS_POPUP, 0, 0, 1, 1,
                                   nullptr, nullptr, nullptr, nullptr);
    start(&sampleHosts, "+exec,+file");
    EXPECT_EQ(sites(), sampleSites);
    EXPECT_EQ(addresses(), sampleAddresses);
    EXPECT_EQ(selection(), LB_ERR);
    EXPECT_EQ(app->messageBox(), nullptr);
    EXPECT_TRUE(waitUntil([] {
        const std::string log = readFile(browserLog);
        return log.size() >= 2 && log.compare(log.size() - 2, 2, "\r\n") == 0;
    }));
    EXPECT_EQ(readFile(browserLog), "https://example.com/\r\n");
    closeAndExpectExitCode0();
    DestroyWindow(browser);

    // Wine traces the calls of the program's one thread in order: the shell is
    // asked to open the address before the hosts file is opened for reading.
    const Strings trace = app->traceLines();
    const auto shell = std::find_if(trace.begin(), trace.end(), [](const std::string& line) {
        return line.find("SHELL_execute") != std::string::npos &&
               line.find("https://example.com/") != std::string::npos;
    });
    const auto hostsOpened = std::find_if(trace.begin(), trace.end(), [](const std::string& line) {
        return line.find("CreateFileW") != std::string::npos &&
               line.find("drivers\\\\etc\\\\hosts") != std::string::npos;
    });
    ASSERT_NE(shell, trace.end()) << "no trace of the shell call";
    ASSERT_NE(hostsOpened, trace.end()) << "no trace of the hosts file being opened";
    EXPECT_LT(shell - trace.begin(), hostsOpened - trace.begin());
    EXPECT_NE(shell->find("verb=L\"open\""), std::string::npos) << *shell;
    EXPECT_NE(shell->find("parm=(null)"), std::string::npos) << *shell;
    EXPECT_NE(shell->find("show=0x00000001"), std::string::npos) << *shell;
    char owner[32];
    std::snprintf(owner, sizeof owner, "hwnd=%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(browser)));
    EXPECT_NE(shell->find(owner), std::string::npos) << *shell << " (expected " << owner << ")";
}

TEST_F(Start, WindowSizePlaceTitleStylesAndControls) {
    start();
    RECT rect;
    GetWindowRect(main, &rect);
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);  // the screen tests/run-with-display.sh makes
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    EXPECT_EQ(rect.left, 216);
    EXPECT_EQ(rect.top, 162);
    EXPECT_EQ(rect.right - rect.left, 368);
    EXPECT_EQ(rect.bottom - rect.top, 276);
    EXPECT_EQ(windowText(main), "\xcd\xf8\xd5\xbe\xba\xda\xc3\xfb\xb5\xa5(example.com)");
    const auto style = static_cast<DWORD>(GetWindowLongA(main, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN), DWORD{WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN});
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_POPUP), 0u);
    EXPECT_FALSE(IsIconic(main) || IsZoomed(main));

    struct { int id; const char* text; RECT rect; } controls[] = {
        {control_id::label1, label1Text, {10, 16, 136, 40}},
        {control_id::siteList, "", {10, 45, 352, 163}},
        {control_id::label2, label2Text, {8, 171, 134, 195}},
        {control_id::editBox, "", {8, 201, 152, 227}},
        {control_id::addButton, addButtonText, {160, 199, 216, 231}},
        {control_id::refreshButton, refreshButtonText, {223, 199, 279, 231}},
        {control_id::removeButton, removeButtonText, {288, 200, 344, 232}},
        {control_id::addressList, "", {362, 46, 530, 166}},
        {control_id::button4, button4Text, {440, 192, 520, 224}},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.id);
        RECT r;
        GetWindowRect(control(c.id), &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, c.rect.left);
        EXPECT_EQ(r.top, c.rect.top);
        EXPECT_EQ(r.right, c.rect.right);
        EXPECT_EQ(r.bottom, c.rect.bottom);
        EXPECT_EQ(windowText(control(c.id)), c.text);
        EXPECT_TRUE(IsWindowVisible(control(c.id)));
    }
    closeAndExpectExitCode0();
}

// The program file's own resources, read as data: the icon with its nine
// images, the version and the manifest.
TEST_F(Start, TheProgramFileCarriesItsIconVersionAndManifest) {
    HMODULE file = LoadLibraryExA(appPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(file, nullptr);
    auto resource = [&](LPCSTR type, int id) {
        HRSRC found = FindResourceA(file, MAKEINTRESOURCEA(id), type);
        const char* bytes = found ? static_cast<const char*>(LockResource(LoadResource(file, found))) : nullptr;
        return bytes ? std::string(bytes, SizeofResource(file, found)) : std::string();
    };
    const std::string group = resource(reinterpret_cast<LPCSTR>(RT_GROUP_ICON), 1);
    ASSERT_EQ(group.size(), 6u + 9 * 14);
    const int sizes[] = {32, 48, 48, 32, 16, 128, 48, 32, 16}, depths[] = {1, 4, 8, 8, 8, 32, 32, 32, 32};
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(static_cast<unsigned char>(group[6 + 14 * i]), sizes[i]);
        EXPECT_EQ(static_cast<unsigned char>(group[6 + 14 * i + 6]), depths[i]);
    }
    const std::string manifest = resource(reinterpret_cast<LPCSTR>(RT_MANIFEST), 1);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("<dependency"), std::string::npos) << "themed controls asked for";
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos) << "themed controls asked for";
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
    EXPECT_EQ(manifest.find("dpiAwareness"), std::string::npos);
    FreeLibrary(file);

    DWORD ignored = 0;
    std::string version(GetFileVersionInfoSizeA(appPath.c_str(), &ignored), '\0');
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(GetFileVersionInfoA(appPath.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    char* product = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(version.data(), "\\StringFileInfo\\080404B0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, "hosts-blacklist");
}

TEST_F(Start, WithoutAHostsFileTheListsAreEmptyAndNothingIsSaid) {
    start(nullptr);
    EXPECT_TRUE(sites().empty());
    EXPECT_TRUE(addresses().empty());
    EXPECT_EQ(app->messageBox(), nullptr);
    closeAndExpectExitCode0();
}

TEST_F(Start, TheProgramsFolderBecomesTheCurrentDirectory) {
    start();
    std::string folder = appPath.substr(0, appPath.rfind('\\') + 1);
    EXPECT_EQ(app->currentDirectory(), folder);
    closeAndExpectExitCode0();
}

TEST_F(Start, ASecondCopyOpensItsOwnWindow) {
    start();
    Process second(appPath);
    HWND secondMain = second.waitForMainWindow();
    ASSERT_NE(secondMain, nullptr);
    EXPECT_NE(secondMain, main);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(listItems(GetDlgItem(secondMain, control_id::siteList)), sampleSites);
    PostMessageA(secondMain, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(second.exitCode(), 0u);
    EXPECT_TRUE(IsWindowVisible(main));
    closeAndExpectExitCode0();
}

// ---- Edits: the three buttons and their message boxes ----

class Edits : public Program {};

TEST_F(Edits, AddSavesRefillsAndThenSaysSo) {
    start();
    SendMessageA(control(control_id::siteList), LB_SETCURSEL, 1, 0);
    setEdit("blocked.example");
    click(control_id::addButton);
    const Box box = takeMessageBox();
    expectInfoBox(box, changeSavedText);
    // Behind the box: the file written, the lists refilled, nothing selected.
    EXPECT_EQ(hostsBehindBox, sampleHosts + "\r\n127.0.0.1 blocked.example");
    Strings expectSites = sampleSites, expectAddresses = sampleAddresses;
    expectSites.push_back("blocked.example");
    expectAddresses.push_back("127.0.0.1");
    EXPECT_EQ(sitesBehindBox, expectSites);
    EXPECT_EQ(addressesBehindBox, expectAddresses);
    EXPECT_EQ(selectionBehindBox, LB_ERR);
    EXPECT_EQ(editBehindBox, "blocked.example");
    EXPECT_TRUE(IsWindowEnabled(main));
    closeAndExpectExitCode0();
}

TEST_F(Edits, AddWithAnEmptyBoxAsksForAnAddressAndTouchesNothing) {
    start();
    SendMessageA(control(control_id::siteList), LB_SETCURSEL, 2, 0);
    click(control_id::addButton);
    expectInfoBox(takeMessageBox(), enterValidAddressText);
    EXPECT_EQ(hostsBehindBox, sampleHosts);
    EXPECT_EQ(sitesBehindBox, sampleSites);
    EXPECT_EQ(selectionBehindBox, 2);
    closeAndExpectExitCode0();
}

TEST_F(Edits, AddWhileAnotherProgramHoldsTheFileFailsAndKeepsTheLists) {
    start();
    SendMessageA(control(control_id::siteList), LB_SETCURSEL, 1, 0);
    setEdit("blocked.example");
    // Open without sharing: every other open of the file fails meanwhile.
    HANDLE held = CreateFileA(hostsPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    click(control_id::addButton);
    const Box box = takeMessageBox();
    CloseHandle(held);
    expectInfoBox(box, changeRefusedText);
    EXPECT_EQ(sitesBehindBox, sampleSites);
    EXPECT_EQ(addressesBehindBox, sampleAddresses);
    EXPECT_EQ(selectionBehindBox, 1);
    EXPECT_EQ(readFile(hostsPath), sampleHosts);
    closeAndExpectExitCode0();
}

TEST_F(Edits, RemoveCutsTheSelectedEntryAndThenHasNothingSelected) {
    start();
    SendMessageA(control(control_id::siteList), LB_SETCURSEL, 1, 0);
    click(control_id::removeButton);
    expectInfoBox(takeMessageBox(), changeSavedText);
    const std::string removed =
        "# hosts of the test\r\n127.0.0.1 ads.example\r\n127.0.0.1\tnot-listed\r\n127.0.0.1 tracker.example\r\n";
    EXPECT_EQ(hostsBehindBox, removed);
    EXPECT_EQ(sitesBehindBox, Strings({"ads.example", "tracker.example"}));
    EXPECT_EQ(addressesBehindBox, Strings({"127.0.0.1", "127.0.0.1"}));
    EXPECT_EQ(selectionBehindBox, LB_ERR);

    // A second click finds nothing selected.
    click(control_id::removeButton);
    expectInfoBox(takeMessageBox(), enterValidAddressText);
    EXPECT_EQ(readFile(hostsPath), removed);
    closeAndExpectExitCode0();
}

TEST_F(Edits, RemoveWithNothingSelectedAsksForAnAddress) {
    start();
    click(control_id::removeButton);
    expectInfoBox(takeMessageBox(), enterValidAddressText);
    EXPECT_EQ(readFile(hostsPath), sampleHosts);
    EXPECT_EQ(sitesBehindBox, sampleSites);
    closeAndExpectExitCode0();
}

TEST_F(Edits, RefreshShowsTheChangedFileWithoutAMessage) {
    start();
    writeFile(hostsPath, "127.0.0.1 new.example\r\n");
    click(control_id::refreshButton);
    EXPECT_TRUE(waitUntil([&] { return sites() == Strings{"new.example"}; }));
    EXPECT_EQ(addresses(), Strings{"127.0.0.1"});
    waitForPostedClicksHandled();
    EXPECT_EQ(app->messageBox(), nullptr);
    closeAndExpectExitCode0();
}

TEST_F(Edits, TheMainWindowTakesNoClickWhileABoxIsUp) {
    start();
    click(control_id::addButton);  // empty box: "请输入正确网址！"
    HWND box = app->waitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(IsWindowEnabled(main));
    setEdit("clicked.example");
    SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // away from the buttons
    SetForegroundWindow(box);
    clickAt(centreOf(control(control_id::addButton)));
    pressKey(VK_RETURN);  // after the click: closes the box
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(box); }));
    waitForPostedClicksHandled();
    EXPECT_EQ(app->messageBox(), nullptr);
    EXPECT_EQ(readFile(hostsPath), sampleHosts);
    EXPECT_TRUE(IsWindowEnabled(main));
    closeAndExpectExitCode0();
}

TEST_F(Edits, TheFourthButtonDoesNothing) {
    start();
    SendMessageA(control(control_id::siteList), LB_SETCURSEL, 0, 0);
    setEdit("b4.example");
    click(control_id::button4);
    waitForPostedClicksHandled();
    EXPECT_EQ(app->messageBox(), nullptr);
    EXPECT_EQ(readFile(hostsPath), sampleHosts);
    closeAndExpectExitCode0();
}

// ---- Keys: focus order and the window's own keys, pressed for real ----

class Keys : public Program {};

TEST_F(Keys, TabAndShiftTabGoRoundTheFocusOrderIncludingTheUnseenControls) {
    start();
    activate();
    EXPECT_TRUE(waitUntil([&] { return app->focus() == control(control_id::siteList); }))
        << "the site list has the focus at first";
    EXPECT_EQ(selection(), LB_ERR);
    // A click on a label leaves the focus where it is; one on the edit box takes it.
    clickAt(centreOf(control(control_id::label2)));
    clickAt(centreOf(control(control_id::editBox)));
    ASSERT_TRUE(waitUntil([&] { return app->focus() == control(control_id::editBox); }));
    clickAt(centreOf(control(control_id::label1)));
    ASSERT_TRUE(pressAndWaitForFocus(VK_TAB, VK_SHIFT, control_id::siteList)) << "the label took the focus";
    const int forward[] = {control_id::editBox,       control_id::addButton,   control_id::refreshButton,
                           control_id::removeButton, control_id::addressList, control_id::button4,
                           control_id::siteList};
    for (int id : forward) EXPECT_TRUE(pressAndWaitForFocus(VK_TAB, 0, id)) << "Tab to " << id;
    const int backward[] = {control_id::button4,       control_id::addressList,   control_id::removeButton,
                            control_id::refreshButton, control_id::addButton,     control_id::editBox,
                            control_id::siteList};
    for (int id : backward) EXPECT_TRUE(pressAndWaitForFocus(VK_TAB, VK_SHIFT, id)) << "Shift+Tab to " << id;
    closeAndExpectExitCode0();
}

TEST_F(Keys, EnterInTheEditBoxAndSpaceOnTheFourthButtonClickNothing) {
    start();
    activate();
    ASSERT_TRUE(pressAndWaitForFocus(VK_TAB, 0, control_id::editBox));
    setEdit("enter.example");
    pressKey(VK_RETURN);
    ASSERT_TRUE(pressAndWaitForFocus(VK_TAB, 0, control_id::addButton));  // Enter was handled before
    EXPECT_EQ(app->messageBox(), nullptr);

    for (int id : {control_id::refreshButton, control_id::removeButton, control_id::addressList, control_id::button4})
        ASSERT_TRUE(pressAndWaitForFocus(VK_TAB, 0, id));
    pressKey(VK_SPACE);
    ASSERT_TRUE(pressAndWaitForFocus(VK_TAB, 0, control_id::siteList));
    EXPECT_EQ(app->messageBox(), nullptr);
    EXPECT_EQ(readFile(hostsPath), sampleHosts);
    closeAndExpectExitCode0();
}

TEST_F(Keys, SpaceOnAButtonClicksIt) {
    start();
    activate();
    for (int id : {control_id::editBox, control_id::addButton})
        ASSERT_TRUE(pressAndWaitForFocus(VK_TAB, 0, id));
    pressKey(VK_SPACE);
    expectInfoBox(takeMessageBox(), enterValidAddressText);
    EXPECT_TRUE(waitUntil([&] { return app->focus() == control(control_id::addButton); }))
        << "the focus comes back to the button when the box has gone";
    closeAndExpectExitCode0();
}

TEST_F(Keys, TheFocusComesBackAfterAnotherWindowWasActive) {
    start();
    activate();
    for (int id : {control_id::editBox, control_id::addButton, control_id::refreshButton})
        ASSERT_TRUE(pressAndWaitForFocus(VK_TAB, 0, id));
    Process other(appPath);
    HWND otherMain = other.waitForMainWindow();
    ASSERT_NE(otherMain, nullptr);
    SetForegroundWindow(otherMain);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == otherMain; }));
    activate();
    EXPECT_TRUE(waitUntil([&] { return app->focus() == control(control_id::refreshButton); }));
    PostMessageA(otherMain, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(other.exitCode(), 0u);
    closeAndExpectExitCode0();
}

TEST_F(Keys, EscapeFromTheEditBoxClosesWithExitCode0) {
    start();
    activate();
    ASSERT_TRUE(pressAndWaitForFocus(VK_TAB, 0, control_id::editBox));
    setEdit("typed.example");
    pressKey(VK_ESCAPE);
    EXPECT_EQ(app->exitCode(), 0u);
    EXPECT_EQ(readFile(hostsPath), sampleHosts);
}

TEST_F(Keys, AltF4AndTheCloseButtonCloseWithExitCode0) {
    struct { const char* name; std::function<void(HWND)> close; } cases[] = {
        {"Alt+F4", [](HWND) { pressKey(VK_F4, VK_MENU); }},
        {"close button", [](HWND hwnd) {
             RECT rect;
             GetWindowRect(hwnd, &rect);
             const int inset = GetSystemMetrics(SM_CXFIXEDFRAME) + GetSystemMetrics(SM_CXSIZE) / 2;
             const int down = GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYSIZE) / 2;
             clickAt({rect.right - inset, rect.top + down});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start();
        activate();
        c.close(main);
        EXPECT_EQ(app->exitCode(), 0u);
    }
}

// ---- Fatal: the one error box and exit code -1 ----

TEST(Fatal, EachCauseShowsTheErrorBoxAndEndsWithMinusOne) {
    struct { const char* mode; std::string message; } cases[] = {
        {"refuse-window", windowLoadFailedText},
        {"exhaust-memory", "\xb7\xd6\xc5\xe4 4611686018427387904 \xd7\xd6\xbd\xda\xc4\xda\xb4\xe6\xca\xa7\xb0\xdc!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Process probe(probePath, c.mode);
        ASSERT_TRUE(probe.started());
        HWND hwnd = probe.waitForMessageBox();
        ASSERT_NE(hwnd, nullptr);
        const Box box = readBox(hwnd);
        EXPECT_EQ(box.caption, fatalCaption);
        // 运行时出错! CR LF CR LF 错误信息： message CR LF
        EXPECT_EQ(box.text, "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba" +
                                c.message + "\r\n");
        EXPECT_EQ(box.buttons, 1);
        EXPECT_TRUE(box.okButton);
        EXPECT_TRUE(box.icon);
        EXPECT_EQ(probe.mainWindow(), nullptr);
        for (HWND hwndOfProbe : topLevelWindowsOf(GetProcessId(probe.handle())))
            EXPECT_NE(className(hwndOfProbe), mainWindowClassName) << "a window was left half-built";
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(probe.exitCode(), 0xFFFFFFFFu);
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--app=", 0) == 0) appPath = windowsPath(arg.substr(6));
        if (arg.rfind("--probe=", 0) == 0) probePath = windowsPath(arg.substr(8));
    }
    if (appPath.empty() || probePath.empty()) {
        std::fprintf(stderr, "usage: e2e_tests --app=PATH --probe=PATH [gtest options]\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
