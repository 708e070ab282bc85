// The window controller against a fake window and a real hosts file in a
// temporary folder. The transcript holds the window calls and the file reads
// and replacements in one order, so each test pins what happens and when.

#include "ui/main_window_controller.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/temp_folder.h"
#include "fakes/fake_view.h"
#include "fakes/recording_file_system.h"
#include "ui/ui_texts.h"

namespace {

using Entries = std::vector<std::pair<Text, Text>>;  // site, address

Calls operator+(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string message(const char* text) { return std::string("message ") + text; }

// What refillLists does to the window for a file that lists `entries`.
Calls refill(const Entries& entries) {
    const std::string count = std::to_string(entries.size());
    Calls calls{"begin refill", "reset sites", "reset addresses", "reserve sites " + count,
                "reserve addresses " + count};
    for (const auto& entry : entries) calls.push_back("append sites " + entry.first);
    for (const auto& entry : entries) calls.push_back("append addresses " + entry.second);
    calls.push_back("end refill");
    return calls;
}

std::vector<Text> sitesOf(const Entries& entries) {
    std::vector<Text> sites;
    for (const auto& entry : entries) sites.push_back(entry.first);
    return sites;
}

std::vector<Text> addressesOf(const Entries& entries) {
    std::vector<Text> addresses;
    for (const auto& entry : entries) addresses.push_back(entry.second);
    return addresses;
}

const Calls saveCalls{"read hosts", "replace hosts", "read hosts"};  // re-read, replace, refresh
const Calls refusedSaveCalls{"read hosts", "replace refused"};

class Controller : public ::testing::Test {
protected:
    TempFolder folder;
    Calls calls;
    RecordingFileSystem files{calls};
    HostsBlacklist blacklist{files, [this] { return folder.path("hosts"); }};
    FakeView view{calls};
    MainWindowController controller{view, blacklist};

    // The window as the user finds it: `bytes` in the hosts file and in the
    // lists. The transcript starts after it.
    void start(std::string_view bytes) {
        folder.write("hosts", bytes);
        controller.onWindowCreated();
        calls.clear();
    }
    void expectLists(const Entries& entries) {
        EXPECT_EQ(view.sites, sitesOf(entries));
        EXPECT_EQ(view.addresses, addressesOf(entries));
    }
};

TEST_F(Controller, WindowCreatedHandsTheAddressToTheShellBeforeTheFileIsRead) {
    struct { const char* name; const char* file; Entries entries; } cases[] = {
        {"entries", "# c\r\n127.0.0.1 a.com\r\n0.0.0.0 b.com c.com\r\n",
         {{"a.com", "127.0.0.1"}, {"b.com", "0.0.0.0"}}},
        {"absent file", nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder fresh;
        Calls transcript;
        RecordingFileSystem recorded{transcript};
        HostsBlacklist list{recorded, [&] { return fresh.path("hosts"); }};
        FakeView window{transcript};
        MainWindowController subject{window, list};
        if (c.file) fresh.write("hosts", c.file);

        subject.onWindowCreated();

        EXPECT_EQ(transcript, Calls({"open https://example.com/", "read hosts"}) + refill(c.entries));
        EXPECT_EQ(window.sites, sitesOf(c.entries));
        EXPECT_EQ(window.addresses, addressesOf(c.entries));
    }
}

TEST_F(Controller, RefreshShowsTheFileAsItIsNowAndSaysNothing) {
    struct { const char* name; const char* file; Entries entries; } cases[] = {
        {"changed", "127.0.0.1 b.com\r\n127.0.0.1 \xd6\xd0.cn", {{"b.com", "127.0.0.1"}, {"\xd6\xd0.cn", "127.0.0.1"}}},
        {"emptied", "", {}},
        {"removed", nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start("127.0.0.1 a.com\r\n0.0.0.0 x.com");
        view.selection = 1;
        if (c.file)
            folder.write("hosts", c.file);
        else
            std::filesystem::remove(folder.path("hosts"));

        controller.onRefreshClicked();

        EXPECT_EQ(calls, Calls{"read hosts"} + refill(c.entries));
        expectLists(c.entries);
        EXPECT_EQ(view.selection, -1);
    }
}

TEST_F(Controller, AddReportsEachOutcomeAfterTheSaveAndTheRefill) {
    const char* before = "127.0.0.1 a.com";
    const Entries listed{{"a.com", "127.0.0.1"}};
    struct {
        const char* name;
        Text edit;
        bool refuse;
        Calls expect;
        std::string file;
        Entries lists;
        int32_t selection;
    } cases[] = {
        {"empty box", "", false, {"edit text", message(enterValidAddressText)}, before, listed, 0},
        {"saved", "b.com", false,
         Calls{"edit text"} + saveCalls + refill({{"a.com", "127.0.0.1"}, {"b.com", "127.0.0.1"}}) +
             Calls{message(changeSavedText)},
         "127.0.0.1 a.com\r\n127.0.0.1 b.com", {{"a.com", "127.0.0.1"}, {"b.com", "127.0.0.1"}}, -1},
        {"saved, double-byte site", "\xd6\xd0\xce\xc4.cn", false,
         Calls{"edit text"} + saveCalls +
             refill({{"a.com", "127.0.0.1"}, {"\xd6\xd0\xce\xc4.cn", "127.0.0.1"}}) +
             Calls{message(changeSavedText)},
         "127.0.0.1 a.com\r\n127.0.0.1 \xd6\xd0\xce\xc4.cn",
         {{"a.com", "127.0.0.1"}, {"\xd6\xd0\xce\xc4.cn", "127.0.0.1"}}, -1},
        // The lists keep their items and their selection.
        {"save refused", "b.com", true,
         Calls{"edit text"} + refusedSaveCalls + Calls{message(changeRefusedText)}, before, listed, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(before);
        files.refuseReplace = c.refuse;
        view.edit = c.edit;
        view.selection = 0;

        controller.onAddClicked();

        EXPECT_EQ(calls, c.expect);
        EXPECT_EQ(folder.read("hosts"), c.file);
        expectLists(c.lists);
        EXPECT_EQ(view.selection, c.selection);
        EXPECT_EQ(view.edit, c.edit);
    }
}

TEST_F(Controller, RemovePassesTheSelectedEntryAndReportsEachOutcome) {
    const char* three = "# c\r\n127.0.0.1 a.com\r\n127.0.0.1 b.com\r\n0.0.0.0 c.com";
    const Entries listed{{"a.com", "127.0.0.1"}, {"b.com", "127.0.0.1"}, {"c.com", "0.0.0.0"}};
    auto reads = [](int32_t index) {
        const std::string i = std::to_string(index);
        return Calls{"selection", "item sites " + i, "item addresses " + i, "count sites"};
    };
    struct {
        const char* name;
        const char* file;
        int32_t selection;
        bool refuse;
        Calls expect;
        std::string fileAfter;
        Entries lists;
    } cases[] = {
        {"later entry", three, 1, false,
         reads(1) + saveCalls + refill({{"a.com", "127.0.0.1"}, {"c.com", "0.0.0.0"}}) +
             Calls{message(changeSavedText)},
         "# c\r\n127.0.0.1 a.com\r\n0.0.0.0 c.com", {{"a.com", "127.0.0.1"}, {"c.com", "0.0.0.0"}}},
        {"first entry", three, 0, false,
         reads(0) + saveCalls + refill({{"b.com", "127.0.0.1"}, {"c.com", "0.0.0.0"}}) +
             Calls{message(changeSavedText)},
         "# c\r\n127.0.0.1 b.com\r\n0.0.0.0 c.com", {{"b.com", "127.0.0.1"}, {"c.com", "0.0.0.0"}}},
        // Nothing selected: -1 and two empty texts; nothing is written.
        {"nothing selected", three, -1, false, reads(-1) + Calls{message(enterValidAddressText)},
         three, listed},
        {"save refused", three, 2, false, {}, three, listed},
        // The entry's line holds a third field, so no line reads back as the
        // entry: nothing can be removed and nothing is written.
        {"nothing removable", "127.0.0.1 a.com more\r\n127.0.0.1 b.com", 0, false,
         reads(0) + Calls{message(changeRefusedText)}, "127.0.0.1 a.com more\r\n127.0.0.1 b.com",
         {{"a.com", "127.0.0.1"}, {"b.com", "127.0.0.1"}}},
    };
    cases[3].refuse = true;
    cases[3].expect = reads(2) + refusedSaveCalls + Calls{message(changeRefusedText)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(c.file);
        files.refuseReplace = c.refuse;
        view.selection = c.selection;
        const int32_t selectionKept = c.expect.back() == message(changeSavedText) ? -1 : c.selection;

        controller.onRemoveClicked();

        EXPECT_EQ(calls, c.expect);
        EXPECT_EQ(folder.read("hosts"), c.fileAfter);
        expectLists(c.lists);
        EXPECT_EQ(view.selection, selectionKept);
    }
}

TEST_F(Controller, ASecondRemoveAfterASavedOneHasNothingSelected) {
    start("127.0.0.1 a.com\r\n127.0.0.1 b.com");
    view.selection = 1;
    controller.onRemoveClicked();
    calls.clear();

    controller.onRemoveClicked();

    EXPECT_EQ(calls, Calls({"selection", "item sites -1", "item addresses -1", "count sites",
                            message(enterValidAddressText)}));
    EXPECT_EQ(folder.read("hosts"), "127.0.0.1 a.com");
}

// An entry that either list box refuses is left out of both, so the lists
// stay paired: item i of both is the same entry.
TEST_F(Controller, RefillKeepsTheListsPairedWhenABoxRefusesAnItem) {
    start("127.0.0.1 a.com\r\n127.0.0.2 b.com\r\n0.0.0.0 c.com\r\n127.0.0.1 d.com");
    view.refusedSites = {"b.com"};
    view.refusedAddresses = {"0.0.0.0"};

    controller.onRefreshClicked();

    EXPECT_EQ(calls, Calls({"read hosts", "begin refill", "reset sites", "reset addresses",
                            "reserve sites 4", "reserve addresses 4", "append sites a.com",
                            "refuse sites b.com", "append sites c.com", "append sites d.com",
                            "append addresses 127.0.0.1", "refuse addresses 0.0.0.0", "remove sites 1",
                            "append addresses 127.0.0.1", "end refill"}));
    expectLists({{"a.com", "127.0.0.1"}, {"d.com", "127.0.0.1"}});
}

}  // namespace
