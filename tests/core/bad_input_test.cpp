// Hosts files no one would write by hand: a byte or two, nothing but breaks,
// NUL or high bytes, huge lines, a million lines, a file too big to read, a
// folder in its place. Each lists, adds and removes as the format rules say.

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/hosts_blacklist.h"
#include "core/temp_folder.h"

void PrintTo(const BlockedEntry& entry, std::ostream* out);

namespace {

namespace fs = std::filesystem;

using Entries = std::vector<BlockedEntry>;

std::string repeat(std::string_view piece, size_t times) {
    std::string result;
    result.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) result += piece;
    return result;
}

const std::string kMegabyte(1 << 20, 'a');
const std::string kAdded = "\r\n127.0.0.1 x.example";
const BlockedEntry kAddedEntry{"x.example", "127.0.0.1"};

class BadInput : public ::testing::Test {
protected:
    TempFolder folder;
    const Text hosts = folder.path("hosts");
    HostsBlacklist blacklist{systemFileSystem(), [this] { return hosts; }};
};

TEST_F(BadInput, OddFilesListAddAndRemoveByTheRules) {
    const std::string evenHigh = repeat("\xd6\xd0", 2048);
    std::string everyHighByte;
    for (int c = 0x80; c <= 0xff; ++c) everyHighByte += static_cast<char>(c);
    struct {
        const char* what;
        std::string file;
        Entries listed;
        Entries listedAfterAdd;  // read back after adding x.example
        int32_t removeIndex;     // removed from the file as read; -1: none
        std::optional<std::string> afterRemove;  // none: SaveFailed, nothing written
    } cases[] = {
        {"one letter", "a", {}, {kAddedEntry}, -1, {}},
        {"one #", "#", {}, {kAddedEntry}, -1, {}},
        {"one space", " ", {}, {kAddedEntry}, -1, {}},
        {"one CR", "\r", {}, {kAddedEntry}, -1, {}},
        {"one LF", "\n", {}, {kAddedEntry}, -1, {}},
        // The lead byte takes the CR of the added line: one line, two fields.
        {"one lead byte", "\xb0", {}, {{"x.example", "\xb0\r\n127.0.0.1"}}, -1, {}},
        {"one NUL", std::string(1, '\0'), {}, {kAddedEntry}, -1, {}},
        {"only CR LF", repeat("\r\n", 1000), {}, {kAddedEntry}, -1, {}},
        {"only NUL bytes", std::string(4096, '\0'), {}, {kAddedEntry}, -1, {}},
        {"only high bytes, in pairs", evenHigh, {}, {kAddedEntry}, -1, {}},
        {"only high bytes, one left over", evenHigh + "\xb0", {},
         {{"x.example", evenHigh + "\xb0\r\n127.0.0.1"}}, -1, {}},
        {"every high byte", everyHighByte, {}, {kAddedEntry}, -1, {}},
        {"a lead byte at the very end", "1 a\r\n2 b\xb0", {{"a", "1"}, {"b\xb0", "2"}},
         {{"a", "1"}, {"b\xb0\r\n127.0.0.1", "2"}}, 1, "1 a"},
        {"a site of 1 MB", "# c\r\n1 " + kMegabyte + "\r\n2 b", {{kMegabyte, "1"}, {"b", "2"}},
         {{kMegabyte, "1"}, {"b", "2"}, kAddedEntry}, 0, "# c\r\n2 b"},
        {"a comment of 1 MB", "#" + kMegabyte + "\r\n1 a", {{"a", "1"}}, {{"a", "1"}, kAddedEntry}, 0,
         "#" + kMegabyte + "\r\n"},
        // A million empty fields; its entry has no line of its own to remove.
        {"a line of 1 MB of spaces", std::string(1 << 20, ' '), {{"", ""}}, {{"", ""}, kAddedEntry}, 0, {}},
        {"a line of 1 MB of lead bytes", std::string(1 << 20, '\xb0'), {}, {kAddedEntry}, -1, {}},
        {"1,000,000 empty lines, then an entry", repeat("\r\n", 1000000) + "1 a", {{"a", "1"}},
         {{"a", "1"}, kAddedEntry}, 0, repeat("\r\n", 1000000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = c.file.substr(0, c.file.find('\0'));
        const std::string tail = c.file.substr(text.size());

        folder.write("hosts", c.file);
        const Entries listed = blacklist.refreshList();
        EXPECT_EQ(listed, c.listed);
        EXPECT_EQ(blacklist.hostsText(), text);
        ASSERT_EQ(blacklist.addSite("x.example"), EditResult::Saved);
        EXPECT_EQ(folder.read("hosts"), text + kAdded + tail);
        EXPECT_EQ(blacklist.refreshList(), c.listedAfterAdd);

        if (c.removeIndex < 0) continue;
        folder.write("hosts", c.file);
        blacklist.refreshList();
        const BlockedEntry& entry = listed[c.removeIndex];
        const EditResult removed = blacklist.removeSelected(c.removeIndex, entry.site, entry.address,
                                                            static_cast<int32_t>(listed.size()));
        EXPECT_EQ(removed, c.afterRemove ? EditResult::Saved : EditResult::SaveFailed);
        EXPECT_EQ(folder.read("hosts"), c.afterRemove.value_or(text) + tail);
        EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
    }
}

TEST_F(BadInput, AMillionEqualEntryLines) {
    const std::string file = repeat("1 a\r\n", 999999) + "1 a";
    folder.write("hosts", file);
    const Entries listed = blacklist.refreshList();
    ASSERT_EQ(listed.size(), 1000000u);
    EXPECT_EQ(listed.front(), (BlockedEntry{"a", "1"}));
    EXPECT_EQ(listed.back(), (BlockedEntry{"a", "1"}));
    // A later entry takes the break before each equal line: the first stays.
    EXPECT_EQ(blacklist.removeSelected(1, "a", "1", 1000000), EditResult::Saved);
    EXPECT_EQ(folder.read("hosts"), "1 a");
}

// Files that cannot be read whole are never replaced: the edit reports
// SaveFailed and every byte stays.
TEST_F(BadInput, FilesThatCannotBeReadAreNeverReplaced) {
    // 4 GiB and 3 bytes: taken as 32 bits, its length would read as 3. (The
    // list tests cover 2 GiB.)
    const uintmax_t size = (uintmax_t{1} << 32) + 3;
    {
        std::ofstream out(hosts, std::ios::binary | std::ios::trunc);
        out << "1 a";
    }
    fs::resize_file(hosts, size);  // sparse: costs no disk
    EXPECT_TRUE(blacklist.refreshList().empty());
    EXPECT_EQ(blacklist.hostsText(), "");
    EXPECT_EQ(blacklist.addSite("x.example"), EditResult::SaveFailed);
    EXPECT_EQ(fs::file_size(hosts), size);
    {
        std::ifstream in(hosts, std::ios::binary);
        std::string start(3, '\0');
        in.read(start.data(), 3);
        EXPECT_EQ(start, "1 a");
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
    fs::remove(hosts);

    // A folder where the file should be, with something inside it.
    fs::create_directory(hosts);
    fs::create_directory(folder.path("hosts") + static_cast<char>(fs::path::preferred_separator) + "inside");
    EXPECT_TRUE(blacklist.refreshList().empty());
    EXPECT_EQ(blacklist.addSite("x.example"), EditResult::SaveFailed);
    EXPECT_EQ(blacklist.removeSelected(0, "a", "1", 1), EditResult::SaveFailed);
    EXPECT_TRUE(fs::is_directory(hosts));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
}

}  // namespace
