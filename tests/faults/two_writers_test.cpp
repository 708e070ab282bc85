// The hosts file shared with other processes: two copies of the core adding
// sites at the same time, and another program changing the file between a
// refresh and a save.

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/hosts_blacklist.h"
#include "core/temp_folder.h"
#include "faults/blocklist.h"
#include "faults/child_process.h"

namespace {

using Names = std::vector<std::string>;

struct WriterReport {
    std::vector<std::string> saved;  // sites whose add reported Saved, in order
    long conflicts = -1;             // SaveFailed results, each followed by a refresh
};

WriterReport readReport(const Text& path) {
    WriterReport report;
    std::ifstream in(path);
    std::string word, value;
    while (in >> word >> value) {
        if (word == "saved") report.saved.push_back(value);
        if (word == "conflicts") report.conflicts = std::stol(value);
    }
    return report;
}

TEST(TwoWriters, EverySavedSiteIsInTheFileOnceAndNoLineIsGarbled) {
    TempFolder folder, control;
    const std::string base = generatedBlocklist(2000);
    folder.write("hosts", base);
    const int count = 150;
    const std::vector<std::string> prefixes = {"a", "b"};
    std::vector<std::unique_ptr<ChildProcess>> writers;
    for (const auto& prefix : prefixes) {
        writers.push_back(std::make_unique<ChildProcess>());
        ASSERT_TRUE(writers.back()->start(
            coreDriver(), {"add-sites", folder.path("hosts"), prefix + ".example.", std::to_string(count),
                           control.path(prefix + ".report"), control.path("go")}));
    }
    control.write("go", "");
    for (auto& writer : writers) EXPECT_EQ(writer->wait(), 0);

    const std::vector<std::string> lines = crlfLines(folder.read("hosts"));
    const std::vector<std::string> baseLines = crlfLines(base);
    ASSERT_GE(lines.size(), baseLines.size());
    EXPECT_TRUE(std::equal(baseLines.begin(), baseLines.end(), lines.begin()));
    // Every line after those is one add: which one, and where it stands.
    std::map<std::string, size_t> addedAt;
    for (size_t i = baseLines.size(); i < lines.size(); ++i) {
        const std::string& line = lines[i];
        EXPECT_EQ(line.rfind("127.0.0.1 ", 0), 0u) << "garbled line " << i << ": " << line;
        EXPECT_TRUE(addedAt.emplace(line.substr(10), i).second) << "added twice: " << line;
    }

    long conflicts = 0;
    size_t savedCount = 0;
    for (const auto& prefix : prefixes) {
        SCOPED_TRACE("writer " + prefix);
        const WriterReport report = readReport(control.path(prefix + ".report"));
        EXPECT_EQ(report.saved.size(), static_cast<size_t>(count));
        EXPECT_GE(report.conflicts, 0);
        conflicts += report.conflicts;
        savedCount += report.saved.size();
        size_t previous = 0;
        for (const auto& site : report.saved) {
            const auto found = addedAt.find(site);
            ASSERT_NE(found, addedAt.end()) << "reported Saved, not in the file: " << site;
            EXPECT_GT(found->second, previous) << "out of order: " << site;
            previous = found->second;
        }
    }
    EXPECT_EQ(addedAt.size(), savedCount);
    // Without a single SaveFailed the two never met, and nothing was shown.
    EXPECT_GT(conflicts, 0);
    std::cout << "[ writers  ] " << savedCount << " adds checked, " << conflicts
              << " SaveFailed answered by a refresh\n";
}

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST(AnotherProgram, ItsChangeBetweenARefreshAndASaveStays) {
    const std::string base = crlfJoin({"# hosts", "127.0.0.1 a.example", "0.0.0.0 b.example"});
    struct {
        const char* what;
        const char* how;
        std::string bytes;
        std::optional<std::string> left;  // the file it leaves, or none
    } cases[] = {
        {"rewrites the file in place", "in-place", "# theirs\r\n1.2.3.4 t.example", "# theirs\r\n1.2.3.4 t.example"},
        {"changes one byte, keeping the length", "in-place",
         crlfJoin({"# hosts", "127.0.0.1 a.examplf", "0.0.0.0 b.example"}),
         crlfJoin({"# hosts", "127.0.0.1 a.examplf", "0.0.0.0 b.example"})},
        {"puts a new file in its place", "rename", "1.2.3.4 t.example", "1.2.3.4 t.example"},
        {"appends a line", "append", "\r\n1.2.3.4 t.example", base + "\r\n1.2.3.4 t.example"},
        {"empties it", "in-place", "", ""},
        {"deletes it", "delete", "", std::nullopt},
    };
    const char* edits[] = {"add", "remove"};
    for (const auto& c : cases) {
        for (const char* edit : edits) {
            SCOPED_TRACE(std::string(c.what) + ", then " + edit);
            TempFolder folder;
            folder.write("hosts", base);
            HostsBlacklist blacklist(systemFileSystem(), [&] { return folder.path("hosts"); });
            const std::vector<BlockedEntry> entries = blacklist.refreshList();
            ASSERT_EQ(entries.size(), 2u);

            ChildProcess other;
            ASSERT_TRUE(other.start(coreDriver(), {"overwrite", folder.path("hosts"), c.how, hex(c.bytes)}));
            ASSERT_EQ(other.wait(), 0);

            const EditResult result = std::string(edit) == "add"
                                          ? blacklist.addSite("c.example")
                                          : blacklist.removeSelected(1, entries[1].site, entries[1].address, 2);
            EXPECT_EQ(result, EditResult::SaveFailed);
            EXPECT_EQ(folder.read("hosts"), c.left.value_or("<absent>"));
            EXPECT_EQ(folder.names(), c.left ? Names{"hosts"} : Names{});

            // Read again, the file takes the edit on top of their change.
            blacklist.refreshList();
            EXPECT_EQ(blacklist.addSite("c.example"), EditResult::Saved);
            EXPECT_EQ(folder.read("hosts"), c.left.value_or("") + "\r\n127.0.0.1 c.example");
        }
    }
}

TEST(AnotherProgram, WritingTheSameBytesAgainIsNoChange) {
    TempFolder folder;
    const std::string base = crlfJoin({"# hosts", "127.0.0.1 a.example"});
    folder.write("hosts", base);
    HostsBlacklist blacklist(systemFileSystem(), [&] { return folder.path("hosts"); });
    blacklist.refreshList();
    ChildProcess other;
    ASSERT_TRUE(other.start(coreDriver(), {"overwrite", folder.path("hosts"), "rename", hex(base)}));
    ASSERT_EQ(other.wait(), 0);
    EXPECT_EQ(blacklist.addSite("c.example"), EditResult::Saved);
    EXPECT_EQ(folder.read("hosts"), base + "\r\n127.0.0.1 c.example");
}

}  // namespace
