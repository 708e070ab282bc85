// The POSIX file store: what only this platform has.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "core/hosts_file_store.h"
#include "core/temp_folder.h"

namespace {

TEST(PosixFileStore, HostsFileIsEtcHosts) { EXPECT_EQ(hostsFilePath(), "/etc/hosts"); }

// Runs `body` in a child process as a user without the right to write the
// folder, and returns what it returned.
template <typename Body>
bool asUserWhoMayNotWrite(const TempFolder& folder, Body body) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0) {
            // Root may write anything; "nobody" may not write a folder of root's.
            if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(2);
        } else if (chmod(folder.path("").c_str(), 0555) != 0) {
            _exit(2);
        }
        _exit(body() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(folder.path("").c_str(), 0755);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop the right to write";
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST(PosixFileStore, AFileTheUserMayNotReplaceKeepsItsBytes) {
    TempFolder folder;
    folder.write("hosts", "old");
    const Text hosts = folder.path("hosts");
    FileSystem& files = systemFileSystem();
    EXPECT_FALSE(asUserWhoMayNotWrite(folder, [&] { return writeWholeFile(files, hosts, {"new"}); }));
    EXPECT_EQ(folder.read("hosts"), "old");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
    // Reading is still allowed.
    EXPECT_TRUE(asUserWhoMayNotWrite(folder, [&] {
        return std::string(readWholeFile(files, hosts).view()) == "old";
    }));
}

TEST(PosixFileStore, ASaveKeepsOwnerAndMode) {
    TempFolder folder;
    folder.write("hosts", "old");
    const Text hosts = folder.path("hosts");
    ASSERT_EQ(chmod(hosts.c_str(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(hosts.c_str(), 65534, 65534), 0);
    }

    ASSERT_TRUE(writeWholeFile(systemFileSystem(), hosts, {"new"}));
    struct stat info {};
    ASSERT_EQ(stat(hosts.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
    EXPECT_EQ(folder.read("hosts"), "new");
}

TEST(PosixFileStore, ALinkIsNotReplacedByAPlainFile) {
    TempFolder folder;
    folder.write("real", "old");
    ASSERT_EQ(symlink(folder.path("real").c_str(), folder.path("hosts").c_str()), 0);
    EXPECT_EQ(std::string(readWholeFile(systemFileSystem(), folder.path("hosts")).view()), "old");
    EXPECT_FALSE(writeWholeFile(systemFileSystem(), folder.path("hosts"), {"new"}));
    struct stat info {};
    ASSERT_EQ(lstat(folder.path("hosts").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(folder.read("real"), "old");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"hosts", "real"}));
}

TEST(PosixFileStore, AFifoAtThePathIsUnreadableAndNeverWaitedFor) {
    TempFolder folder;
    ASSERT_EQ(mkfifo(folder.path("hosts").c_str(), 0644), 0);
    EXPECT_EQ(readSnapshot(systemFileSystem(), folder.path("hosts")).presence, FilePresence::Unreadable);
    EXPECT_FALSE(writeWholeFile(systemFileSystem(), folder.path("hosts"), {"new"}));
    struct stat info {};
    ASSERT_EQ(lstat(folder.path("hosts").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// AddressSanitizer reserves far more address space than any limit set here.
#if !defined(__SANITIZE_ADDRESS__)
// Reads `hosts` with 16 MiB of address space left beyond what the process
// maps now; exits 0 when the read came back empty and unreadable.
[[noreturn]] void readWithLittleMemory(const Text& hosts) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (16 << 20);
    const rlimit bound{limit, limit};
    if (setrlimit(RLIMIT_AS, &bound) != 0) std::_Exit(2);
    const FileSnapshot seen = readSnapshot(systemFileSystem(), hosts);
    std::_Exit(seen.presence == FilePresence::Unreadable && seen.bytes.empty() ? 0 : 1);
}

TEST(PosixFileStoreDeathTest, AReadBufferThatCannotBeHadReadsAsNothing) {
    TempFolder folder;
    folder.write("hosts", std::string(64 << 20, 'x'));
    EXPECT_EXIT(readWithLittleMemory(folder.path("hosts")), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
