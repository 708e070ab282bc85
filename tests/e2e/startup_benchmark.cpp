// How long the program takes from its start until its window is seen, lists
// filled, for hosts files of several sizes. The window is shown only after
// both lists are filled, so "visible" means "visible and full". Each size is
// timed several times; the report gives the median and its ratio to the floor,
// the median with an empty hosts file, measured in the same run.
//
// Usage: startup_benchmark --app=PATH [--runs=N] [--entries=N]... [--hosts=FILE]...
//   --entries=N  a generated hosts file of N entries
//   --hosts=FILE a given hosts file (a Unix path is read through drive Z:)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

struct Case {
    std::string name;
    std::string hosts;
};

double millisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One start: milliseconds until the window is visible, and the items listed.
bool timeOneStart(const std::string& app, double& milliseconds, long& listed) {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    Process process(app);
    if (!process.started()) return false;
    HWND window = nullptr;
    while (!(window = process.mainWindow())) {
        if (WaitForSingleObject(process.handle(), 1) == WAIT_OBJECT_0 || millisecondsSince(start) > 300000)
            return false;
    }
    milliseconds = millisecondsSince(start);
    listed = static_cast<long>(SendMessageA(GetDlgItem(window, control_id::siteList), LB_GETCOUNT, 0, 0));
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return process.exitCode(60000) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string app;
    int runs = 5;
    std::vector<Case> cases{{"empty (floor)", ""}};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--app=", 0) == 0) app = windowsPath(arg.substr(6));
        if (arg.rfind("--runs=", 0) == 0) runs = std::max(1, std::atoi(arg.c_str() + 7));
        if (arg.rfind("--entries=", 0) == 0) {
            const int entries = std::atoi(arg.c_str() + 10);
            std::string hosts;
            char line[64];
            for (int n = 0; n < entries; ++n) {
                std::snprintf(line, sizeof line, "127.0.0.1 host%06d.example.com\r\n", n);
                hosts += line;
            }
            cases.push_back({std::to_string(entries) + " generated entries", hosts});
        }
        if (arg.rfind("--hosts=", 0) == 0) {
            const std::string path = windowsPath(arg.substr(8));
            cases.push_back({path.substr(path.find_last_of('\\') + 1), readFile(path)});
        }
    }
    if (app.empty()) {
        std::fprintf(stderr, "usage: startup_benchmark --app=PATH [--runs=N] [--entries=N]... [--hosts=FILE]...\n");
        return 2;
    }

    double floor = 0;
    std::printf("%-36s %8s %10s %10s %10s %8s\n", "hosts file", "listed", "median ms", "min ms", "max ms", "ratio");
    for (const Case& c : cases) {
        writeFile(hostsPath, c.hosts);
        std::vector<double> times;
        long listed = -1;
        double warmUp;
        if (!timeOneStart(app, warmUp, listed)) {
            std::fprintf(stderr, "%s: the program did not start and close cleanly\n", c.name.c_str());
            return 1;
        }
        for (int run = 0; run < runs; ++run) {
            double ms;
            if (!timeOneStart(app, ms, listed)) {
                std::fprintf(stderr, "%s: the program did not start and close cleanly\n", c.name.c_str());
                return 1;
            }
            times.push_back(ms);
        }
        std::sort(times.begin(), times.end());
        const double median = times.size() % 2 ? times[times.size() / 2]
                                               : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
        if (floor == 0) floor = median;
        std::printf("%-36s %8ld %10.0f %10.0f %10.0f %8.2f\n", c.name.c_str(), listed, median, times.front(),
                    times.back(), median / floor);
        std::fflush(stdout);
    }
    return 0;
}
