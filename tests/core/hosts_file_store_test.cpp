// The file store's contract, the same on every platform, against real files.

#include "core/hosts_file_store.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/temp_folder.h"
#include "fakes/forwarding_file_system.h"

namespace {

namespace fs = std::filesystem;

const std::string kWithNuls("a\r\n\0b\0\0\xff\r\n", 10);

class FileStore : public ::testing::Test {
protected:
    FileSystem& files = systemFileSystem();
    TempFolder folder;
    const Text hosts = folder.path("hosts");

    bool write(std::string_view bytes) { return writeWholeFile(files, hosts, {bytes}); }
};

TEST_F(FileStore, RoundTripKeepsEveryByte) {
    ASSERT_TRUE(write(kWithNuls));
    EXPECT_EQ(folder.read("hosts"), kWithNuls);
    EXPECT_EQ(std::string(readWholeFile(files, hosts).view()), kWithNuls);
    // Blocks are written one after another; empty ones add nothing.
    ASSERT_TRUE(writeWholeFile(files, hosts, {"ab", "", "c"}));
    EXPECT_EQ(folder.read("hosts"), "abc");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
}

TEST_F(FileStore, AbsentAndEmptyFiles) {
    FileSnapshot absent = readSnapshot(files, hosts);
    EXPECT_EQ(absent.presence, FilePresence::Absent);
    EXPECT_TRUE(absent.bytes.empty());

    ASSERT_TRUE(write("x"));  // an absent file is created
    EXPECT_EQ(folder.read("hosts"), "x");

    ASSERT_TRUE(write(""));  // one empty block leaves an empty file
    EXPECT_EQ(folder.read("hosts"), "");
    FileSnapshot empty = readSnapshot(files, hosts);
    EXPECT_EQ(empty.presence, FilePresence::Read);
    EXPECT_TRUE(empty.bytes.empty());
    EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
}

TEST_F(FileStore, NothingIsTouchedWithoutAPlaceToWrite) {
    // An absent folder on the way: nothing is read, nothing is created.
    const Text inMissingFolder = folder.path("drivers") + static_cast<char>(fs::path::preferred_separator) + "hosts";
    EXPECT_EQ(readSnapshot(files, inMissingFolder).presence, FilePresence::Absent);
    EXPECT_FALSE(writeWholeFile(files, inMissingFolder, {"x"}));
    EXPECT_TRUE(folder.names().empty());

    // The empty path reads as unreadable and is never written.
    EXPECT_EQ(readSnapshot(files, "").presence, FilePresence::Unreadable);
    EXPECT_TRUE(readWholeFile(files, "").empty());
    EXPECT_FALSE(writeWholeFile(files, "", {"x"}));
}

TEST_F(FileStore, AFolderAtThePathIsUnreadableAndNeverReplaced) {
    fs::create_directory(hosts);
    EXPECT_EQ(readSnapshot(files, hosts).presence, FilePresence::Unreadable);
    EXPECT_FALSE(write("x"));
    EXPECT_TRUE(fs::is_directory(hosts));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
}

TEST_F(FileStore, AReadOnlyFileIsReadButNotReplaced) {
    folder.write("hosts", "old");
    fs::permissions(hosts, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(std::string(readWholeFile(files, hosts).view()), "old");
    EXPECT_FALSE(write("new"));
    EXPECT_EQ(folder.read("hosts"), "old");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
}

TEST_F(FileStore, ConditionalWriteNeedsTheFileAsLastSeen) {
    const FileSnapshot absent = readSnapshot(files, hosts);
    folder.write("hosts", "theirs");
    // Expected absent, but a file has appeared.
    EXPECT_FALSE(writeWholeFileIfUnchanged(files, hosts, absent, {"mine"}));
    EXPECT_EQ(folder.read("hosts"), "theirs");

    const FileSnapshot seen = readSnapshot(files, hosts);
    folder.write("hosts", "theirs, changed");
    EXPECT_FALSE(writeWholeFileIfUnchanged(files, hosts, seen, {"mine"}));
    EXPECT_EQ(folder.read("hosts"), "theirs, changed");

    const FileSnapshot current = readSnapshot(files, hosts);
    EXPECT_TRUE(writeWholeFileIfUnchanged(files, hosts, current, {"mine"}));
    EXPECT_EQ(folder.read("hosts"), "mine");

    // Expected present, but the file is gone: it stays gone.
    const FileSnapshot mine = readSnapshot(files, hosts);
    fs::remove(hosts);
    EXPECT_FALSE(writeWholeFileIfUnchanged(files, hosts, mine, {"again"}));
    EXPECT_FALSE(folder.exists("hosts"));

    // Absent as expected: created.
    EXPECT_TRUE(writeWholeFileIfUnchanged(files, hosts, readSnapshot(files, hosts), {"new"}));
    EXPECT_EQ(folder.read("hosts"), "new");

    // A snapshot of a file that could not be read matches nothing.
    EXPECT_FALSE(writeWholeFileIfUnchanged(files, hosts, FileSnapshot{}, {"x"}));
    EXPECT_EQ(folder.read("hosts"), "new");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
}

TEST_F(FileStore, ConditionalWriteComparesEveryByte) {
    folder.write("hosts", "1 a");
    const FileSnapshot seen = readSnapshot(files, hosts);
    folder.write("hosts", "1 b");  // same length, other bytes
    EXPECT_FALSE(writeWholeFileIfUnchanged(files, hosts, seen, {"mine"}));
    EXPECT_EQ(folder.read("hosts"), "1 b");
    // The expected bytes may come in parts.
    EXPECT_FALSE(writeWholeFileIfUnchanged(files, hosts, FilePresence::Read, {"1 ", "a"}, {"mine"}));
    EXPECT_TRUE(writeWholeFileIfUnchanged(files, hosts, FilePresence::Read, {"1 ", "b"}, {"mine"}));
    EXPECT_EQ(folder.read("hosts"), "mine");
    EXPECT_FALSE(writeWholeFileIfUnchanged(files, hosts, FilePresence::Unreadable, {"mine"}, {"x"}));
    EXPECT_EQ(folder.read("hosts"), "mine");
}

// Reads through FileSystem's default readInPieces, which is what compareFile
// uses with such a file system.
class WholeReads final : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
};

TEST_F(FileStore, CompareFileReadsPieceByPiece) {
    // Larger than one piece of the platform's reads, so a difference can lie
    // in a later piece and a part can span two pieces.
    std::string big(200000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 23);
    std::string changed = big;
    changed[150001] = '#';
    const std::string_view all = big;
    WholeReads wholeReads(files);
    for (FileSystem* system : {&files, static_cast<FileSystem*>(&wholeReads)}) {
        SCOPED_TRACE(system == &files ? "platform reads" : "default reads");
        folder.write("hosts", big);
        EXPECT_EQ(compareFile(*system, hosts, {all}), FileMatch::Same);
        EXPECT_EQ(compareFile(*system, hosts, {all.substr(0, 70000), "", all.substr(70000)}),
                  FileMatch::Same);
        EXPECT_EQ(compareFile(*system, hosts, {changed}), FileMatch::Different);
        EXPECT_EQ(compareFile(*system, hosts, {all, "x"}), FileMatch::Different);  // file shorter
        EXPECT_EQ(compareFile(*system, hosts, {all.substr(1)}), FileMatch::Different);
        EXPECT_EQ(compareFile(*system, hosts, {all.substr(0, all.size() - 1)}), FileMatch::Different);
        EXPECT_EQ(compareFile(*system, hosts, {}), FileMatch::Different);

        folder.write("hosts", "");
        EXPECT_EQ(compareFile(*system, hosts, {}), FileMatch::Same);
        EXPECT_EQ(compareFile(*system, hosts, {"", ""}), FileMatch::Same);
        EXPECT_EQ(compareFile(*system, hosts, {"x"}), FileMatch::Different);

        fs::remove(hosts);
        EXPECT_EQ(compareFile(*system, hosts, {}), FileMatch::Absent);
        fs::create_directory(hosts);
        EXPECT_EQ(compareFile(*system, hosts, {}), FileMatch::Unreadable);
        fs::remove(hosts);
    }
}

TEST(SameContents, ComparesPresenceAndBytes) {
    const FileSnapshot absent{FilePresence::Absent, {}};
    const FileSnapshot empty{FilePresence::Read, {}};
    const FileSnapshot ab{FilePresence::Read, ByteBlock("ab", 2)};
    const FileSnapshot unreadable{FilePresence::Unreadable, {}};
    EXPECT_TRUE(sameContents(absent, absent));
    EXPECT_TRUE(sameContents(ab, FileSnapshot{FilePresence::Read, ByteBlock("ab", 2)}));
    EXPECT_FALSE(sameContents(absent, empty));
    EXPECT_FALSE(sameContents(empty, ab));
    EXPECT_FALSE(sameContents(unreadable, unreadable));
}

}  // namespace
