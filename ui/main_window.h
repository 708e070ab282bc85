#pragma once

#include <windows.h>

#include <vector>

#include "ui/main_window_view.h"

// The program's one window: fixed size, centred, with two labels, two list
// boxes (the second out of sight), an edit box and four buttons (the fourth out
// of sight). All Win32 calls of the window live here; what its events do is
// the business of the MainWindowEvents given to create().
class MainWindow : public MainWindowView {
public:
    MainWindow() = default;
    // Destroys the window if it still exists.
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Builds the window and its controls hidden, shows the controls, raises
    // onWindowCreated, then shows the window. The window's icons come from
    // the icon group IDI_HOSTS_BLACKLIST of `instance`. False, with no window
    // left and no event raised, when the window or any control cannot be
    // created. `events` is not owned and must outlive the window.
    bool create(HINSTANCE instance, MainWindowEvents& events);
    // The window, or nullptr once it has been destroyed.
    HWND handle() const { return hwnd_; }

    // The window's own keys, for a message just taken from the queue: Tab and
    // Shift+Tab move the focus, Esc closes the window, Enter clicks a default
    // button if there is one. True when the message is used up and must not be
    // translated or dispatched.
    bool handleKeyboard(const MSG& msg);

    Text editText() override;
    int32_t selectedIndex() override;
    int32_t itemCount(ListId list) override;
    Text itemText(ListId list, int32_t index) override;
    void beginRefill() override;
    void endRefill() override;
    void resetList(ListId list) override;
    void reserveItems(ListId list, int32_t count, int64_t bytes) override;
    bool appendItem(ListId list, const Text& text) override;
    void removeItem(ListId list, int32_t index) override;
    void showMessage(const Text& text) override;
    void openWebAddress(const Text& address) override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    bool build(HINSTANCE instance);
    void setIcons(HINSTANCE instance);
    void onCommand(int id, int code);
    LRESULT onActivate(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void restoreFocus();
    void onDestroy();
    void moveFocus(bool backwards);
    bool clickDefaultButton();
    std::vector<HWND> focusOrder() const;
    HWND listBox(ListId list) const;
    HWND control(int id) const;

    HWND hwnd_ = nullptr;
    static constexpr size_t controlCount = 9;
    HWND controls_[controlCount] = {};  // in the order of the control table, once created
    MainWindowEvents* events_ = nullptr;  // not owned; outlives the window
    HWND lastFocus_ = nullptr;  // the control that had the focus at the last deactivation
    HICON largeIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    bool built_ = false;  // all controls exist: closing the window now ends the program
};
