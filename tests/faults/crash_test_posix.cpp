// A copy of the core killed (SIGKILL) at random moments while it saves, many
// times: after every kill the hosts file is the old contents or the new, whole.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "core/temp_folder.h"
#include "faults/blocklist.h"
#include "faults/child_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

// The driver's save loop, with its standard output on a pipe.
struct SaveLoop {
    pid_t pid = -1;
    int output = -1;
};

SaveLoop startSaveLoop(const Text& hosts, const std::string& site) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const std::string driver = coreDriver();
    const pid_t child = fork();
    if (child == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(driver.c_str(), driver.c_str(), "save-loop", hosts.c_str(), site.c_str(), nullptr);
        _exit(127);
    }
    close(fds[1]);
    return {child, fds[0]};
}

// The next byte of `fd` within `timeout`, or 0.
char readByte(int fd, std::chrono::milliseconds timeout) {
    pollfd wanted{fd, POLLIN, 0};
    char byte = 0;
    if (poll(&wanted, 1, static_cast<int>(timeout.count())) == 1 && read(fd, &byte, 1) == 1) return byte;
    return 0;
}

// Everything left in `fd` once its writer is gone: the count of `byte`.
long countRest(int fd, char byte) {
    long count = 0;
    char buffer[256];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) count += std::count(buffer, buffer + n, byte);
    return count;
}

std::chrono::seconds budget() {
    const char* seconds = std::getenv("HBL_CRASH_SECONDS");
    return std::chrono::seconds(seconds ? std::atoi(seconds) : 20);
}

TEST(CrashDuringSave, EveryKillLeavesTheOldOrTheNewFileWhole) {
    TempFolder folder;
    const Text hosts = folder.path("hosts");
    const std::string site = "crash.example";
    const std::string before = generatedBlocklist(84000);
    const std::string after = before + "\r\n127.0.0.1 " + site;
    folder.write("hosts", before);

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    long kills = 0, saves = 0, leftTemps = 0, sawBefore = 0, sawAfter = 0;
    // The kills fall anywhere in a window after the list was read that is
    // kept around one or two saves long: it starts as long as the first
    // save, grows when a round saw no save end and shrinks when one saw
    // several, so they hit the lock, the writing, the flush and the rename
    // however fast the machine is.
    double windowMs = -1;
    const auto end = Clock::now() + budget();
    while (Clock::now() < end) {
        const SaveLoop loop = startSaveLoop(hosts, site);
        ASSERT_GT(loop.pid, 0);
        ASSERT_EQ(readByte(loop.output, std::chrono::seconds(30)), 'r') << "the driver did not start";
        const auto ready = Clock::now();
        if (windowMs < 0) {
            ASSERT_EQ(readByte(loop.output, std::chrono::seconds(30)), 's') << "the first save did not end";
            windowMs = 2 * Millis(Clock::now() - ready).count();
            ++saves;
        }
        std::this_thread::sleep_for(Millis(std::uniform_real_distribution<double>(0, windowMs)(random)));
        kill(loop.pid, SIGKILL);
        int status = 0;
        waitpid(loop.pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the save loop stopped by itself: a save failed (status " << status << ")";
        const long saved = countRest(loop.output, 's');
        saves += saved;
        close(loop.output);
        ++kills;
        if (saved == 0) windowMs *= 1.1;
        if (saved > 2) windowMs /= 1.1;

        const std::string now = folder.read("hosts");
        ASSERT_TRUE(now == before || now == after)
            << "after kill " << kills << " the file holds " << now.size() << " bytes, neither old nor new";
        (now == before ? sawBefore : sawAfter)++;
        // A kill between creating the new file and putting it in place leaves
        // that file behind: nothing can remove it. It must not be the hosts
        // file. (The count shows that kills do fall inside saves.)
        for (const auto& name : folder.names()) {
            if (name == "hosts") continue;
            ASSERT_TRUE(name.rfind("hosts.hbl-", 0) == 0 && name.size() > 4 &&
                        name.compare(name.size() - 4, 4, ".tmp") == 0)
                << "stray file " << name;
            ++leftTemps;
            std::filesystem::remove(folder.path(name));
        }
    }
    std::cout << "[ crashes  ] " << kills << " kills survived, " << saves << " saves completed between them, "
              << sawBefore << " old and " << sawAfter << " new files found, " << leftTemps
              << " temporary files left by kills; kills within " << windowMs << " ms of the start\n";
    EXPECT_GE(kills, 10);
    // Both contents were seen after kills.
    EXPECT_GT(sawBefore, 0);
    EXPECT_GT(sawAfter, 0);
}

}  // namespace
