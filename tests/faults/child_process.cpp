#include "faults/child_process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#endif

#ifdef _WIN32

ChildProcess::~ChildProcess() {
    if (!process_) return;
    TerminateProcess(process_, 1);
    wait();
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args) {
    // Our arguments hold no quotes or backslashes before quotes, so plain
    // quoting gives each one back whole.
    std::string commandLine = "\"" + program + "\"";
    for (const auto& arg : args) commandLine += " \"" + arg + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    return true;
}

int ChildProcess::wait() {
    if (!process_) return -1;
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process_, &code);
    CloseHandle(process_);
    process_ = nullptr;
    return static_cast<int>(code);
}

std::string besideThisProgram(const std::string& name) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, length);
    return self.substr(0, self.find_last_of("\\/") + 1) + name + ".exe";
}

#else

ChildProcess::~ChildProcess() {
    if (pid_ < 0) return;
    ::kill(pid_, SIGKILL);
    wait();
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    pid_ = child;
    return true;
}

int ChildProcess::wait() {
    if (pid_ < 0) return -1;
    int status = 0;
    pid_t done;
    do {
        done = waitpid(pid_, &status, 0);
    } while (done < 0 && errno == EINTR);
    pid_ = -1;
    if (done < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string besideThisProgram(const std::string& name) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    const std::string self(path, length > 0 ? static_cast<size_t>(length) : 0);
    return self.substr(0, self.rfind('/') + 1) + name;
}

#endif
