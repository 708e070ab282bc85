#pragma once

#include <string>
#include <vector>

// A program of the tests run as a process of its own: the core's driver in
// another process, so that two copies of the core really run at once.
class ChildProcess {
public:
    ChildProcess() = default;
    // Kills the process if it still runs, and waits for it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `args`. False when it could not be started.
    bool start(const std::string& program, const std::vector<std::string>& args);
    // Waits for the end; the exit code, or -1 when it did not exit by itself.
    int wait();

private:
#ifdef _WIN32
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
};

// The path of the program `name` (without ".exe") in the folder of the
// running test program.
std::string besideThisProgram(const std::string& name);

// The core's driver (tests/faults/core_driver.cpp).
inline std::string coreDriver() { return besideThisProgram("hosts_core_driver"); }
