// The Windows file store: share modes and the system directory.

#include <windows.h>

#include <gtest/gtest.h>

#include "core/hosts_file_store.h"
#include "core/temp_folder.h"

namespace {

TEST(Win32FileStore, HostsFileIsInTheSystemDirectory) {
    char buffer[MAX_PATH];
    const UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(systemDirectory(), std::string(buffer, length));
    EXPECT_EQ(hostsFilePath(), std::string(buffer, length) + "\\drivers\\etc\\hosts");
}

// Another program's handle on the hosts file, open while the test runs.
class Holder {
public:
    Holder(const Text& path, DWORD access, DWORD share)
        : handle_(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Holder() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    bool open() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

TEST(Win32FileStore, AFileHeldByAnotherProgramIsNeitherReadNorReplaced) {
    struct { const char* holder; DWORD access, share; FilePresence read; } cases[] = {
        {"writer sharing reads and writes", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
         FilePresence::Unreadable},
        {"reader sharing nothing", GENERIC_READ, 0, FilePresence::Unreadable},
        // Readers may share the file with this one, but it cannot be replaced
        // under them.
        {"reader sharing reads", GENERIC_READ, FILE_SHARE_READ, FilePresence::Read},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holder);
        TempFolder folder;
        folder.write("hosts", "old");
        const Text hosts = folder.path("hosts");
        FileSystem& files = systemFileSystem();
        {
            Holder holder(hosts, c.access, c.share);
            ASSERT_TRUE(holder.open());
            const FileSnapshot seen = readSnapshot(files, hosts);
            EXPECT_EQ(seen.presence, c.read);
            EXPECT_EQ(std::string(seen.bytes.view()), c.read == FilePresence::Read ? "old" : "");
            EXPECT_FALSE(writeWholeFile(files, hosts, {"new"}));
        }
        EXPECT_EQ(folder.read("hosts"), "old");
        EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
    }
}

}  // namespace
