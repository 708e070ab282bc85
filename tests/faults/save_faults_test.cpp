// Every step of a save made to fail in turn, against real files in a temporary
// folder: the hosts file keeps every byte, the caller hears of the failure,
// nothing is left beside the file, and the next save goes through.

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/hosts_blacklist.h"
#include "core/temp_folder.h"
#include "fakes/faulty_file_system.h"
#include "fakes/memory_file_system.h"

namespace {

using Names = std::vector<std::string>;

const std::string kTail("\0after the NUL\r\n\xff", 18);
const std::string kHosts = crlfJoin({"# hosts", "127.0.0.1 localhost", "0.0.0.0 ads.example",
                                     "0.0.0.0 track.example"}) + kTail;
const std::string kBigBlock(300000, 'x');

// One save, made through `files` on the hosts file `hosts`; true when it
// reported success.
using Save = std::function<bool(FileSystem& files, const Text& hosts)>;

// An edit through the blocked-site list, which must report Saved or SaveFailed.
bool saved(EditResult result) {
    EXPECT_NE(result, EditResult::EmptyInput);
    return result == EditResult::Saved;
}

struct Scenario {
    const char* what;
    std::optional<std::string> before;  // the hosts file, or none
    Save save;
    std::string after;  // the hosts file after a save that works
};

const Scenario kScenarios[] = {
    {"writeWholeFile of four blocks over a file", kHosts,
     [](FileSystem& files, const Text& hosts) {
         return writeWholeFile(files, hosts, {"# new\r\n", "", "0.0.0.0 a.example", kBigBlock});
     },
     "# new\r\n0.0.0.0 a.example" + kBigBlock},
    {"writeWholeFile where there is no file", std::nullopt,
     [](FileSystem& files, const Text& hosts) { return writeWholeFile(files, hosts, {"new"}); },
     "new"},
    {"addSite", kHosts,
     [](FileSystem& files, const Text& hosts) {
         HostsBlacklist blacklist(files, [&] { return hosts; });
         blacklist.refreshList();
         return saved(blacklist.addSite("b.example"));
     },
     crlfJoin({"# hosts", "127.0.0.1 localhost", "0.0.0.0 ads.example", "0.0.0.0 track.example",
               "127.0.0.1 b.example"}) + kTail},
    {"addSite where there is no file", std::nullopt,
     [](FileSystem& files, const Text& hosts) {
         HostsBlacklist blacklist(files, [&] { return hosts; });
         blacklist.refreshList();
         return saved(blacklist.addSite("b.example"));
     },
     "\r\n127.0.0.1 b.example"},
    {"removeSelected", kHosts,
     [](FileSystem& files, const Text& hosts) {
         HostsBlacklist blacklist(files, [&] { return hosts; });
         const std::vector<BlockedEntry> entries = blacklist.refreshList();
         if (entries.size() != 3u) return false;
         return saved(blacklist.removeSelected(1, entries[1].site, entries[1].address, 3));
     },
     crlfJoin({"# hosts", "127.0.0.1 localhost", "0.0.0.0 track.example"}) + kTail},
};

// The folder holding a hosts file as `contents` says, or none.
void prepare(const TempFolder& folder, const std::optional<std::string>& contents) {
    if (contents) folder.write("hosts", *contents);
}

Names namesFor(const std::optional<std::string>& contents) {
    return contents ? Names{"hosts"} : Names{};
}

TEST(SaveFaults, EveryStepThatFailsLeavesTheFileAsItWas) {
    FileSystem& real = systemFileSystem();
    int points = 0;
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.what);
        // A save without faults: what it writes, and how many calls of each
        // kind it makes. Each of those calls is then made to fail in turn.
        std::vector<std::pair<SaveStep, int>> faults;
        {
            TempFolder folder;
            prepare(folder, scenario.before);
            FaultyFileSystem counting(real);
            ASSERT_TRUE(scenario.save(counting, folder.path("hosts")));
            ASSERT_EQ(folder.read("hosts"), scenario.after);
            ASSERT_EQ(folder.names(), Names{"hosts"});
            for (SaveStep step : kAllSaveSteps)
                for (int nth = 1; nth <= counting.calls(step); ++nth) faults.emplace_back(step, nth);
        }
        ASSERT_GE(faults.size(), 8u);  // a read, the lock, create, a write, a short write, flush, close, replace

        for (const auto& [step, nth] : faults) {
            SCOPED_TRACE(std::string(stepName(step)) + " #" + std::to_string(nth) + " fails");
            TempFolder folder;
            prepare(folder, scenario.before);
            const Text hosts = folder.path("hosts");
            FaultyFileSystem faulty(real);
            faulty.failAt(step, nth);

            EXPECT_FALSE(scenario.save(faulty, hosts));
            EXPECT_TRUE(faulty.failed());
            EXPECT_EQ(folder.read("hosts"), scenario.before.value_or("<absent>"));
            EXPECT_EQ(folder.names(), namesFor(scenario.before));
            EXPECT_EQ(faulty.openFiles(), 0u);
            EXPECT_FALSE(faulty.locked());
            ++points;

            // Nothing of the failed save stands in the way of the next one.
            EXPECT_TRUE(scenario.save(real, hosts));
            EXPECT_EQ(folder.read("hosts"), scenario.after);
            EXPECT_EQ(folder.names(), Names{"hosts"});
        }
    }
    std::cout << "[ faults   ] " << points << " faults injected, one save each\n";
}

// A crashed copy leaves its new file behind (nothing removes it on a kill);
// a later copy may get the same process id and so the same names.
TEST(SaveFaults, NewFilesLeftByACrashedCopyWithTheSameProcessId) {
    FileSystem& files = systemFileSystem();
    TempFolder folder;
    folder.write("hosts", kHosts);
    Names names{"hosts"};
    auto leave = [&](int n) {
        const std::string name = "hosts.hbl-" + std::to_string(files.processId()) + "-" + std::to_string(n) + ".tmp";
        folder.write(name, "left by a crash " + std::to_string(n));
        names.push_back(name);
    };
    for (int n = 0; n < 7; ++n) leave(n);
    // The next free name is taken; what was left stays as it was.
    EXPECT_TRUE(writeWholeFile(files, folder.path("hosts"), {"new"}));
    EXPECT_EQ(folder.read("hosts"), "new");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(folder.names(), names);
    EXPECT_EQ(folder.read(names[1]), "left by a crash 0");

    // With no free name the save gives up and changes nothing.
    leave(7);
    std::sort(names.begin(), names.end());
    EXPECT_FALSE(writeWholeFile(files, folder.path("hosts"), {"newer"}));
    EXPECT_EQ(folder.read("hosts"), "new");
    EXPECT_EQ(folder.names(), names);
}

// The largest file that reads whole: 2 GiB less one byte, "1 a", a line break,
// a NUL and then zeros, as a sparse or zeroed file reads. Its block is
// allocated but, past the first page, never touched.
class LargestFile final : public FileSystem {
public:
    static constexpr int32_t kSize = std::numeric_limits<int32_t>::max();
    MemoryFileSystem written;  // every other call, and whatever is written
    bool tooBig = false;       // the address space could not hold the file

    FileSnapshot readFile(const Text& path) override {
        if (path != "hosts" || written.files.count(path)) return written.readFile(path);
        ByteBlock bytes = ByteBlock::tryAllocate(kSize);
        tooBig = bytes.size() != kSize;
        if (tooBig) return FileSnapshot{};
        std::memset(bytes.data(), 0, 4096);
        std::memcpy(bytes.data(), "1 a\r\n", 5);
        return FileSnapshot{FilePresence::Read, std::move(bytes)};
    }
    bool lockSaves(const Text& path) override { return written.lockSaves(path); }
    void unlockSaves() override { written.unlockSaves(); }
    Created createNew(const Text& path, const Text& model, Handle& file) override {
        return written.createNew(path, model, file);
    }
    bool write(Handle file, const char* bytes, int32_t count) override { return written.write(file, bytes, count); }
    bool flush(Handle file) override { return written.flush(file); }
    bool close(Handle file) override { return written.close(file); }
    bool replace(const Text& target, const Text& replacement, bool targetExists) override {
        return written.replace(target, replacement, targetExists);
    }
    bool remove(const Text& path) override { return written.remove(path); }
    uint32_t processId() override { return 1; }
};

// An add to the largest readable file would make a file that cannot be read
// back; its length, taken as 32 bits, once made the saved file empty.
TEST(SaveFaults, AnAddPastTheLargestFileIsNotSaved) {
    LargestFile files;
    HostsBlacklist blacklist(files, [] { return Text("hosts"); });
    const std::vector<BlockedEntry> entries = blacklist.refreshList();
    if (files.tooBig) GTEST_SKIP() << "no room for a block of 2 GiB";
    EXPECT_EQ(entries, (std::vector<BlockedEntry>{{"a", "1"}}));
    EXPECT_EQ(blacklist.addSite("x.example"), EditResult::SaveFailed);
    EXPECT_TRUE(files.written.files.empty());  // nothing was written or put in place
}

#ifndef _WIN32
// A block longer than one write can take is refused, not cut short. Taken as
// a 32-bit count, 4 GiB and 5 bytes would write 5 bytes and report success.
TEST(SaveFaults, ABlockTooLongForOneWriteIsRefused) {
    const size_t size = (size_t{1} << 32) + 5;
    // Address space only: no byte of it is ever read.
    void* block = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(block, MAP_FAILED);
    TempFolder folder;
    folder.write("hosts", kHosts);
    EXPECT_FALSE(writeWholeFile(systemFileSystem(), folder.path("hosts"),
                                {"# new\r\n", std::string_view(static_cast<const char*>(block), size)}));
    EXPECT_EQ(folder.read("hosts"), kHosts);
    EXPECT_EQ(folder.names(), Names{"hosts"});
    munmap(block, size);
}
#endif

}  // namespace
