#pragma once

#include <set>
#include <string>
#include <vector>

#include "ui/main_window_view.h"

// Every call a controller made, in order, one line each.
using Calls = std::vector<std::string>;

// A main window made of plain values. It appends each call to a transcript
// that it may share with other fakes, so a test sees the order of everything.
class FakeView : public MainWindowView {
public:
    explicit FakeView(Calls& calls) : calls_(calls) {}

    Text edit;            // the edit box
    int32_t selection = -1;  // the selected index of the site list
    std::vector<Text> sites, addresses;  // the items of the two lists
    // appendItem refuses these texts, as a full list box would.
    std::set<Text> refusedSites, refusedAddresses;

    Text editText() override {
        record("edit text");
        return edit;
    }
    int32_t selectedIndex() override {
        record("selection");
        return selection;
    }
    int32_t itemCount(ListId list) override {
        record("count " + name(list));
        return static_cast<int32_t>(items(list).size());
    }
    Text itemText(ListId list, int32_t index) override {
        record("item " + name(list) + " " + std::to_string(index));
        const auto& all = items(list);
        return index >= 0 && index < static_cast<int32_t>(all.size()) ? all[index] : Text();
    }
    void beginRefill() override { record("begin refill"); }
    void endRefill() override { record("end refill"); }
    void resetList(ListId list) override {
        record("reset " + name(list));
        items(list).clear();
        if (list == ListId::Sites) selection = -1;
    }
    void reserveItems(ListId list, int32_t count, int64_t) override {
        record("reserve " + name(list) + " " + std::to_string(count));
    }
    bool appendItem(ListId list, const Text& text) override {
        const bool refused = (list == ListId::Sites ? refusedSites : refusedAddresses).count(text) > 0;
        record((refused ? "refuse " : "append ") + name(list) + " " + text);
        if (!refused) items(list).push_back(text);
        return !refused;
    }
    void removeItem(ListId list, int32_t index) override {
        record("remove " + name(list) + " " + std::to_string(index));
        items(list).erase(items(list).begin() + index);
    }
    void showMessage(const Text& text) override { record("message " + text); }
    void openWebAddress(const Text& address) override { record("open " + address); }

private:
    static std::string name(ListId list) { return list == ListId::Sites ? "sites" : "addresses"; }
    std::vector<Text>& items(ListId list) { return list == ListId::Sites ? sites : addresses; }
    void record(const std::string& call) { calls_.push_back(call); }

    Calls& calls_;  // not owned
};
