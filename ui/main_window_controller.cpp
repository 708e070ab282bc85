#include "ui/main_window_controller.h"

#include "ui/ui_texts.h"

MainWindowController::MainWindowController(MainWindowView& view, HostsBlacklist& blacklist)
    : view_(view), blacklist_(blacklist) {}

void MainWindowController::onWindowCreated() {
    view_.openWebAddress(publisherWebAddress);
    refillLists();
}

void MainWindowController::onRefreshClicked() { refillLists(); }

void MainWindowController::onAddClicked() { reportEdit(blacklist_.addSite(view_.editText())); }

void MainWindowController::onRemoveClicked() {
    // The selection of Sites indexes both lists; that of Addresses is never read.
    const int32_t index = view_.selectedIndex();
    const Text site = view_.itemText(ListId::Sites, index);
    const Text address = view_.itemText(ListId::Addresses, index);
    const int32_t count = view_.itemCount(ListId::Sites);
    reportEdit(blacklist_.removeSelected(index, site, address, count));
}

void MainWindowController::reportEdit(EditResult result) {
    switch (result) {
    case EditResult::EmptyInput:
        view_.showMessage(enterValidAddressText);
        return;
    case EditResult::SaveFailed:
        view_.showMessage(changeRefusedText);
        return;
    case EditResult::Saved:
        refillLists();
        view_.showMessage(changeSavedText);
        return;
    }
}

void MainWindowController::refillLists() {
    const std::vector<BlockedEntry> entries = blacklist_.refreshList();
    int64_t siteBytes = 0;
    int64_t addressBytes = 0;
    for (const BlockedEntry& entry : entries) {
        siteBytes += static_cast<int64_t>(entry.site.size()) + 1;
        addressBytes += static_cast<int64_t>(entry.address.size()) + 1;
    }
    const auto count = static_cast<int32_t>(entries.size());

    view_.beginRefill();
    view_.resetList(ListId::Sites);
    view_.resetList(ListId::Addresses);
    view_.reserveItems(ListId::Sites, count, siteBytes);
    view_.reserveItems(ListId::Addresses, count, addressBytes);
    // One list after the other: list boxes filled in turns take far longer
    // (2.5 times as long under Wine). An entry whose site Sites refuses gets
    // no address; one whose address Addresses refuses loses its site again.
    std::vector<size_t> siteRefused;  // indices into entries, ascending
    for (size_t i = 0; i < entries.size(); ++i)
        if (!view_.appendItem(ListId::Sites, entries[i].site)) siteRefused.push_back(i);
    auto nextRefused = siteRefused.begin();
    int32_t listed = 0;  // entries in both lists so far
    for (size_t i = 0; i < entries.size(); ++i) {
        if (nextRefused != siteRefused.end() && *nextRefused == i) {
            ++nextRefused;
            continue;
        }
        if (view_.appendItem(ListId::Addresses, entries[i].address))
            ++listed;
        else
            view_.removeItem(ListId::Sites, listed);
    }
    view_.endRefill();
}
