// Real failures of the Windows store's last step: another program (a virus
// scanner, an indexer, an editor) opens the new file or the hosts file just
// before the new file is put in place, and lets go right after.

#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/hosts_file_store.h"
#include "core/temp_folder.h"
#include "fakes/faulty_file_system.h"

namespace {

TEST(Win32SaveFaults, AFileHeldByAnotherProgramWhileItIsPutInPlace) {
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    struct {
        const char* what;
        bool holdNewFile;  // else the hosts file
        DWORD access, share;
    } cases[] = {
        {"new file, reader sharing nothing", true, GENERIC_READ, 0},
        {"new file, reader sharing reads and writes", true, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {"new file, reader sharing everything", true, GENERIC_READ, shareAll},
        {"hosts file, reader sharing reads", false, GENERIC_READ, FILE_SHARE_READ},
        {"hosts file, writer sharing reads and writes", false, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {"hosts file, reader sharing everything", false, GENERIC_READ, shareAll},
    };
    const std::string before = "# hosts\r\n127.0.0.1 a.example";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        folder.write("hosts", before);
        const Text hosts = folder.path("hosts");
        FaultyFileSystem files(systemFileSystem());
        HANDLE held = INVALID_HANDLE_VALUE;
        files.beforeCall = [&](SaveStep step) {
            if (step != SaveStep::Replace) return;
            const Text& name = c.holdNewFile ? files.lastCreated() : hosts;
            held = CreateFileA(name.c_str(), c.access, c.share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        };
        files.afterCall = [&](SaveStep step) {
            if (step == SaveStep::Replace && held != INVALID_HANDLE_VALUE) CloseHandle(held);
        };

        const bool saved = writeWholeFile(files, hosts, {"new"});
        EXPECT_NE(held, INVALID_HANDLE_VALUE) << "the other program could not open the file";
        // Either way the answer tells the truth, and nothing is left beside the file.
        EXPECT_EQ(folder.read("hosts"), saved ? "new" : before);
        EXPECT_EQ(folder.names(), std::vector<std::string>{"hosts"});
        std::cout << "[ win32    ] " << c.what << ": " << (saved ? "saved" : "not saved") << "\n";
    }
}

}  // namespace
