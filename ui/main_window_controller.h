#pragma once

#include "core/hosts_blacklist.h"
#include "ui/main_window_view.h"

// The main window's event logic: loads the blocked-site list into the two
// list boxes, hands the edit box's text to addSite and the selected entry to
// removeSelected, and reports every outcome of an edit in a message box. It
// keeps no state of its own: the lists, the selection and the typed text live
// in the window.
class MainWindowController : public MainWindowEvents {
public:
    MainWindowController(MainWindowView& view, HostsBlacklist& blacklist);

    // Hands publisherWebAddress to the shell, then fills the lists.
    void onWindowCreated() override;
    // Refills the lists; shows nothing.
    void onRefreshClicked() override;
    // Adds the edit box's text; after a save, refills the lists, then reports.
    void onAddClicked() override;
    // Removes the entry selected in Sites; after a save, refills the lists,
    // then reports.
    void onRemoveClicked() override;

    // Reads the hosts file again and fills Sites with each entry's site and
    // Addresses with its address, in file order. An entry that either list
    // refuses is left out of both, so item i of the two lists is always the
    // same entry. Nothing is selected afterwards.
    void refillLists();

private:
    void reportEdit(EditResult result);

    MainWindowView& view_;       // not owned; the window this controller serves
    HostsBlacklist& blacklist_;  // not owned; outlives the window
};
