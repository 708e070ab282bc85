// The blocked-site list and its two edits, against a real hosts file in a
// temporary folder.

#include "core/hosts_blacklist.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/temp_folder.h"

void PrintTo(const BlockedEntry& entry, std::ostream* out) {
    *out << "{site \"" << entry.site << "\", address \"" << entry.address << "\"}";
}

namespace {

namespace fs = std::filesystem;

using Entries = std::vector<BlockedEntry>;

class Blacklist : public ::testing::Test {
protected:
    TempFolder folder;
    HostsBlacklist blacklist{systemFileSystem(), [this] { return folder.path("hosts"); }};

    void setFile(std::string_view bytes) { folder.write("hosts", bytes); }
    std::string file() const { return folder.read("hosts"); }
    Entries refreshWith(std::string_view bytes) {
        setFile(bytes);
        return blacklist.refreshList();
    }
    void setReadOnly(bool readOnly) {
        fs::permissions(folder.path("hosts"),
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        readOnly ? fs::perm_options::remove : fs::perm_options::add);
    }
    // Removes entry `index` of the list just read, as the window passes it.
    EditResult removeListed(const Entries& entries, int32_t index) {
        return blacklist.removeSelected(index, entries[index].site, entries[index].address,
                                        static_cast<int32_t>(entries.size()));
    }
};

TEST_F(Blacklist, OneLineAndTheEntryItGives) {
    struct { std::string line; Entries expect; } cases[] = {
        {"", {}},
        {"#127.0.0.1 a.com", {}},
        {" # word", {{"#", ""}}},                  // "#" after a space is no comment
        {"127.0.0.1 a.com", {{"a.com", "127.0.0.1"}}},
        {"0.0.0.0 a.com b.com # more", {{"a.com", "0.0.0.0"}}},
        {"127.0.0.1\ta.com", {}},                  // a tab does not split: one field
        {"\t127.0.0.1 a.com", {{"a.com", "\t127.0.0.1"}}},
        {"127.0.0.1  a.com", {{"", "127.0.0.1"}}},
        {" 127.0.0.1 a.com", {{"127.0.0.1", ""}}},
        {"word", {}},
        {"word ", {}},
        {"word  ", {{"", "word"}}},
        {" ", {}},
        {"  ", {{"", ""}}},
        {"1.2.3.4 a.com\r", {{"a.com\r", "1.2.3.4"}}},  // lines ending CR CR LF
        {"\xef\xbb\xbf# bom", {{"bom", "\xef\xbb\xbf#"}}},  // a byte-order mark hides the comment
        {"1.2.3.4 a\xb0 b.com c", {{"a\xb0 b.com", "1.2.3.4"}}},  // a lead byte takes the space after it
        {"\xd6\xd0 \xb0 x y", {{"\xb0 x", "\xd6\xd0"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("line: " + c.line);
        EXPECT_EQ(refreshWith("# head\r\n" + c.line + "\r\n# tail"), c.expect);
    }
}

TEST_F(Blacklist, WholeFiles) {
    struct { const char* what; std::string bytes; Entries expect; std::string text; } cases[] = {
        {"empty", "", {}, ""},
        {"one line break", "\r\n", {}, "\r\n"},
        {"break at the end adds nothing", "1 a\r\n2 b\r\n", {{"a", "1"}, {"b", "2"}}, "1 a\r\n2 b\r\n"},
        {"lone LF is one line", "1 a\n2 b", {{"a\n2", "1"}}, "1 a\n2 b"},
        {"lone LF after a comment", "# c\n1 a", {}, "# c\n1 a"},
        {"text ends at the first NUL", std::string("1 a\r\n2 b\0\r\n3 c", 14), {{"a", "1"}, {"b", "2"}},
         "1 a\r\n2 b"},
        {"lead byte takes the CR", "1 a\xb0\r\n2 b", {{"a\xb0\r\n2", "1"}}, "1 a\xb0\r\n2 b"},
        {"same line twice", "1 a\r\n1 a", {{"a", "1"}, {"a", "1"}}, "1 a\r\n1 a"},
        {"lead byte at the very end", "1 a\r\n2 b\xb0", {{"a", "1"}, {"b\xb0", "2"}}, "1 a\r\n2 b\xb0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(refreshWith(c.bytes), c.expect);
        EXPECT_EQ(blacklist.hostsText(), c.text);
    }
}

TEST_F(Blacklist, AbsentOrUnreadableFileListsNothing) {
    setFile("1 a");
    ASSERT_EQ(blacklist.refreshList().size(), 1u);
    fs::remove(folder.path("hosts"));
    EXPECT_TRUE(blacklist.refreshList().empty());
    EXPECT_EQ(blacklist.hostsText(), "");
    fs::create_directory(folder.path("hosts"));
    EXPECT_TRUE(blacklist.refreshList().empty());
    EXPECT_EQ(blacklist.hostsPath(), folder.path("hosts"));
}

TEST_F(Blacklist, KeepsLinesAndTheFieldsOfTheLastLineCut) {
    refreshWith("1 a b\r\n# c\r\n\r\nlast");
    ASSERT_EQ(blacklist.hostsLines().count(), 4);
    EXPECT_EQ(blacklist.hostsLines()[3], "last");
    ASSERT_EQ(blacklist.lineFields().count(), 1);
    EXPECT_EQ(blacklist.lineFields()[0], "last");
    // No line reaches the cut: the fields stay those of the earlier refresh.
    refreshWith("# only\r\n");
    ASSERT_EQ(blacklist.lineFields().count(), 1);
    EXPECT_EQ(blacklist.lineFields()[0], "last");
}

TEST_F(Blacklist, AddAppendsAnEntryLine) {
    struct { const char* what; std::string before, site, after; Entries listed; } cases[] = {
        {"to a file", "# hosts", "a.com", "# hosts\r\n127.0.0.1 a.com", {{"a.com", "127.0.0.1"}}},
        {"after a final break", "1 x\r\n", "a.com", "1 x\r\n\r\n127.0.0.1 a.com",
         {{"x", "1"}, {"a.com", "127.0.0.1"}}},
        {"to an empty file", "", "a.com", "\r\n127.0.0.1 a.com", {{"a.com", "127.0.0.1"}}},
        {"a single space", "", " ", "\r\n127.0.0.1  ", {{"", "127.0.0.1"}}},
        {"two names", "", "a.com b.com", "\r\n127.0.0.1 a.com b.com", {{"a.com", "127.0.0.1"}}},
        {"GBK text as it is", "", "\xd6\xd0\xce\xc4.com", "\r\n127.0.0.1 \xd6\xd0\xce\xc4.com",
         {{"\xd6\xd0\xce\xc4.com", "127.0.0.1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        refreshWith(c.before);
        EXPECT_EQ(blacklist.addSite(c.site), EditResult::Saved);
        EXPECT_EQ(file(), c.after);
        EXPECT_EQ(blacklist.hostsText(), c.after);
        EXPECT_EQ(blacklist.refreshList(), c.listed);
    }
}

TEST_F(Blacklist, AddToAnAbsentFileCreatesIt) {
    EXPECT_TRUE(blacklist.refreshList().empty());
    EXPECT_EQ(blacklist.addSite("a.com"), EditResult::Saved);
    EXPECT_EQ(blacklist.addSite("a.com"), EditResult::Saved);  // twice: two equal lines
    EXPECT_EQ(file(), "\r\n127.0.0.1 a.com\r\n127.0.0.1 a.com");
    EXPECT_EQ(blacklist.refreshList(), (Entries{{"a.com", "127.0.0.1"}, {"a.com", "127.0.0.1"}}));
}

TEST_F(Blacklist, AddRefusesTheEmptyTextAndWritesNothing) {
    EXPECT_TRUE(blacklist.refreshList().empty());
    EXPECT_EQ(blacklist.addSite(""), EditResult::EmptyInput);
    EXPECT_FALSE(folder.exists("hosts"));
    EXPECT_EQ(blacklist.hostsText(), "");
}

TEST_F(Blacklist, EditsBeforeTheFirstRefreshFail) {
    setFile("1 a");
    EXPECT_EQ(blacklist.addSite("b"), EditResult::SaveFailed);
    EXPECT_EQ(blacklist.removeSelected(0, "a", "1", 1), EditResult::SaveFailed);
    EXPECT_EQ(file(), "1 a");
}

TEST_F(Blacklist, AFailedSaveKeepsTheEditInMemoryOnly) {
    refreshWith("1 x");
    setReadOnly(true);
    EXPECT_EQ(blacklist.addSite("a.com"), EditResult::SaveFailed);
    EXPECT_EQ(file(), "1 x");
    EXPECT_EQ(blacklist.hostsText(), "1 x\r\n127.0.0.1 a.com");
    setReadOnly(false);
    // The next save writes the earlier edit together with its own.
    EXPECT_EQ(blacklist.addSite("b.com"), EditResult::Saved);
    EXPECT_EQ(file(), "1 x\r\n127.0.0.1 a.com\r\n127.0.0.1 b.com");

    // A refresh between them drops the failed edit.
    setReadOnly(true);
    EXPECT_EQ(blacklist.addSite("c.com"), EditResult::SaveFailed);
    setReadOnly(false);
    blacklist.refreshList();
    EXPECT_EQ(blacklist.addSite("d.com"), EditResult::Saved);
    EXPECT_EQ(file(), "1 x\r\n127.0.0.1 a.com\r\n127.0.0.1 b.com\r\n127.0.0.1 d.com");
}

TEST_F(Blacklist, RemoveCutsTheLineWithOneBreakBesideIt) {
    struct { const char* what; std::vector<std::string> lines; int32_t index; std::string after; } cases[] = {
        {"the only entry leaves its line empty", {"# a", "1 x", "# b"}, 0, crlfJoin({"# a", "", "# b"})},
        {"the first of several takes the break after it", {"# a", "1 x", "2 y"}, 0, crlfJoin({"# a", "2 y"})},
        {"a later one takes the break before it", {"1 x", "2 y", "3 z"}, 1, crlfJoin({"1 x", "3 z"})},
        {"the last one", {"1 x", "2 y"}, 1, "1 x"},
        {"every equal line goes", {"1 x", "2 y", "# c", "2 y", "2 y"}, 1, crlfJoin({"1 x", "# c"})},
        {"except the first line for a break before", {"2 y", "1 x", "2 y"}, 2, crlfJoin({"2 y", "1 x"})},
        {"two equal lines, the first", {"1 x", "1 x"}, 0, "1 x"},
        {"two equal lines, the second", {"1 x", "1 x"}, 1, "1 x"},
        {"case matters", {"1 x", "1 X", "1 x"}, 2, crlfJoin({"1 x", "1 X"})},
        {"a line ending in CR", {"1 x\r", "2 y\r"}, 1, "1 x\r"},
        {"a leading space", {"1 x", " y"}, 1, "1 x"},
        {"a site in GBK", {"1 \xd6\xd0", "2 y"}, 0, "2 y"},
        // Its site ends in a lead byte: earlier, the same bytes run into the next line.
        {"a site ending in a lead byte", {"1 a", "2 b\xb0", "x", "2 b\xb0"}, 2, crlfJoin({"1 a", "2 b\xb0", "x"})},
        {"the first one, also quoted in other lines", {"#1 x", "# 1 x", "1 x", "2 y"}, 0,
         crlfJoin({"#1 x", "# 1 x", "2 y"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Entries entries = refreshWith(crlfJoin(c.lines));
        EXPECT_EQ(removeListed(entries, c.index), EditResult::Saved);
        EXPECT_EQ(file(), c.after);
        EXPECT_EQ(blacklist.hostsText(), c.after);
    }
}

TEST_F(Blacklist, RemoveNeverCutsAnotherLine) {
    // The selected entry's line part stands in these files only as a piece of
    // a longer line (or not at all), so there is nothing to remove.
    struct { const char* what; std::vector<std::string> lines; int32_t index, count; std::string site, address; } cases[] = {
        {"a longer site, from a list read earlier", {"0 z", "1 a.com.evil"}, 1, 2, "a.com", "1"},
        {"the entry's line has a third field", {"1 a b", "2 y"}, 0, 2, "a", "1"},
        {"the entry's line has a comment", {"0 x", "1 a # note"}, 1, 2, "a", "1"},
        {"a comment quotes the entry", {"#1 a", "1 a b"}, 0, 1, "a", "1"},
        {"an empty site", {"1  a", "1 "}, 0, 1, "", "1"},
        {"empty site and address", {"  ", " "}, 0, 1, "", ""},
        {"the only entry's line part inside lines", {"1 a b", "#x 1 a"}, 0, 1, "a", "1"},
        {"a break a lead byte takes starts no line", {"1 a\xb0", "1 a", "2 y"}, 0, 2, "a", "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = crlfJoin(c.lines);
        const Entries entries = refreshWith(before);
        // Nothing could be removed: the file is not written again.
        EXPECT_EQ(blacklist.removeSelected(c.index, c.site, c.address, c.count), EditResult::SaveFailed);
        EXPECT_EQ(file(), before);
        EXPECT_EQ(blacklist.hostsText(), before);
        EXPECT_EQ(blacklist.refreshList(), entries);
    }
}

TEST_F(Blacklist, RemoveOfAPieceAlsoSeenWholeTakesOnlyTheWholeLine) {
    const Entries entries = refreshWith(crlfJoin({"1 a.com.x", "1 a.com", "1 a.com # c"}));
    EXPECT_EQ(removeListed(entries, 1), EditResult::Saved);
    EXPECT_EQ(file(), crlfJoin({"1 a.com.x", "1 a.com # c"}));
}

TEST_F(Blacklist, RemoveWithNothingSelectedChangesNothing) {
    const std::string before = crlfJoin({"1 a", " b", " c"});  // lines a bare break-and-space would hit
    refreshWith(before);
    EXPECT_EQ(blacklist.removeSelected(-1, "", "", 3), EditResult::EmptyInput);
    EXPECT_EQ(blacklist.hostsText(), before);
    EXPECT_EQ(file(), before);
}

TEST_F(Blacklist, ARetriedRemoveWritesTheEditThatFailedBefore) {
    const Entries entries = refreshWith(crlfJoin({"1 a", "2 b"}));
    setReadOnly(true);
    EXPECT_EQ(removeListed(entries, 1), EditResult::SaveFailed);
    setReadOnly(false);
    // The list still shows the entry; the text no longer holds it.
    EXPECT_EQ(removeListed(entries, 1), EditResult::Saved);
    EXPECT_EQ(file(), "1 a");
}

TEST_F(Blacklist, ChangesByAnotherProgramAreNeverOverwritten) {
    refreshWith("1 a");
    setFile("1 a\r\n9 theirs");
    EXPECT_EQ(blacklist.addSite("b"), EditResult::SaveFailed);
    EXPECT_EQ(file(), "1 a\r\n9 theirs");

    // A change that keeps the file's length is seen just as well.
    refreshWith("1 a");
    setFile("1 b");
    EXPECT_EQ(blacklist.addSite("b"), EditResult::SaveFailed);
    EXPECT_EQ(file(), "1 b");
    setFile("1 a\r\n9 theirs");

    // A refresh reads their change, and saving works again.
    blacklist.refreshList();
    EXPECT_EQ(blacklist.addSite("b"), EditResult::Saved);
    EXPECT_EQ(file(), "1 a\r\n9 theirs\r\n127.0.0.1 b");

    // A file that was absent must still be absent.
    fs::remove(folder.path("hosts"));
    blacklist.refreshList();
    setFile("theirs");
    EXPECT_EQ(blacklist.addSite("b"), EditResult::SaveFailed);
    EXPECT_EQ(file(), "theirs");

    // And one that was empty must still be empty.
    refreshWith("");
    setFile("theirs");
    EXPECT_EQ(blacklist.addSite("b"), EditResult::SaveFailed);
    EXPECT_EQ(file(), "theirs");
}

TEST_F(Blacklist, AFileThatCouldNotBeReadIsNeverReplaced) {
    // 2 GiB and more reads as nothing; the file is sparse, so it costs no disk.
    {
        std::ofstream out(folder.path("hosts"), std::ios::binary);
        out << "1 a";
    }
    const auto big = uintmax_t{1} << 31;
    fs::resize_file(folder.path("hosts"), big);
    EXPECT_TRUE(blacklist.refreshList().empty());
    EXPECT_EQ(blacklist.addSite("b"), EditResult::SaveFailed);
    EXPECT_EQ(fs::file_size(folder.path("hosts")), big);
    std::ifstream in(folder.path("hosts"), std::ios::binary);
    std::string start(3, '\0');
    in.read(start.data(), 3);
    EXPECT_EQ(start, "1 a");
}

TEST_F(Blacklist, BytesAfterANulByteAreWrittenBack) {
    const std::string tail("\0after\r\n9 z\xff", 12);
    Entries entries = refreshWith(std::string("1 a\r\n2 b") + tail);
    EXPECT_EQ(blacklist.addSite("c"), EditResult::Saved);
    EXPECT_EQ(file(), "1 a\r\n2 b\r\n127.0.0.1 c" + tail);

    entries = blacklist.refreshList();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(removeListed(entries, 0), EditResult::Saved);
    EXPECT_EQ(file(), "2 b\r\n127.0.0.1 c" + tail);
}

TEST_F(Blacklist, SavesLeaveNoOtherFileBehind) {
    const Entries entries = refreshWith("1 a\r\n2 b");
    EXPECT_EQ(blacklist.addSite("c"), EditResult::Saved);
    EXPECT_EQ(removeListed(entries, 0), EditResult::Saved);
    setReadOnly(true);
    EXPECT_EQ(blacklist.addSite("d"), EditResult::SaveFailed);
    setReadOnly(false);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
}

}  // namespace
