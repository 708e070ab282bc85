#include "core/temp_folder.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    std::random_device random;
    for (;;) {
        root_ = fs::temp_directory_path() /
                ("hbl-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        if (fs::create_directory(root_)) break;
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Read-only files in the folder would stop remove_all on Windows.
    for (const auto& entry : fs::recursive_directory_iterator(root_, ignored))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
}

Text TempFolder::path(std::string_view name) const { return (root_ / name).string(); }

void TempFolder::write(std::string_view name, std::string_view bytes) const {
    std::ofstream out(root_ / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path(name);
}

std::string TempFolder::read(std::string_view name) const { return fileBytes(path(name)); }

bool TempFolder::exists(std::string_view name) const { return fs::exists(root_ / name); }

std::vector<std::string> TempFolder::names() const {
    std::vector<std::string> result;
    for (const auto& entry : fs::directory_iterator(root_)) result.push_back(entry.path().filename().string());
    std::sort(result.begin(), result.end());
    return result;
}

std::string fileBytes(const Text& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<absent>";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string crlfJoin(const std::vector<std::string>& lines) {
    std::string result;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) result += "\r\n";
        result += lines[i];
    }
    return result;
}
