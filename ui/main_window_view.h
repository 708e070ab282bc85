#pragma once

#include <cstdint>

#include "core/text_ops.h"

// The two list boxes of the main window. Item i of Addresses belongs to item i
// of Sites: the address the site is mapped to.
enum class ListId { Sites, Addresses };

// What the controller may do with the main window: read and fill its controls
// and use the two services. The Win32 window implements it; controller tests
// use a fake.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    // The text of the edit box; the empty text when it is empty.
    virtual Text editText() = 0;
    // The 0-based index of the selected item of Sites; -1 when none is.
    virtual int32_t selectedIndex() = 0;
    virtual int32_t itemCount(ListId list) = 0;
    // The text of item `index`; the empty text when `index` lies outside the list.
    virtual Text itemText(ListId list, int32_t index) = 0;

    // Between beginRefill and endRefill the lists are not repainted: the user
    // never sees them half-filled. endRefill repaints both once.
    virtual void beginRefill() = 0;
    virtual void endRefill() = 0;
    virtual void resetList(ListId list) = 0;
    // A hint: `count` items of `bytes` bytes in all are about to be appended.
    virtual void reserveItems(ListId list, int32_t count, int64_t bytes) = 0;
    // Appends `text` as the last item. False when the list refused it.
    virtual bool appendItem(ListId list, const Text& text) = 0;
    // Removes item `index`; the items after it move up by one.
    virtual void removeItem(ListId list, int32_t index) = 0;

    // A box with `text`, titled "信息：", with one OK button; returns when the
    // user has dismissed it, and the window takes no input meanwhile.
    virtual void showMessage(const Text& text) = 0;
    // Hands `address` to the shell, which opens it in the user's browser.
    // Failure is not reported.
    virtual void openWebAddress(const Text& address) = 0;
};

// The events of the main window that have a handler.
class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;

    // Once, when all controls exist and before the window is first shown.
    virtual void onWindowCreated() = 0;
    virtual void onAddClicked() = 0;
    virtual void onRefreshClicked() = 0;
    virtual void onRemoveClicked() = 0;
};
