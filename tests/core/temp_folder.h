#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_ops.h"

// A new, empty folder in the system's temporary folder, removed with all it
// holds when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The path of `name` inside the folder, as the platform's file functions take it.
    Text path(std::string_view name) const;
    void write(std::string_view name, std::string_view bytes) const;
    std::string read(std::string_view name) const;
    bool exists(std::string_view name) const;
    // Every name in the folder, sorted: shows a stray file a save left behind.
    std::vector<std::string> names() const;

private:
    std::filesystem::path root_;
};

// The bytes of a file, or "<absent>" when there is none.
std::string fileBytes(const Text& path);

// Hosts file contents made of `lines` joined with CR LF, no break at the end.
std::string crlfJoin(const std::vector<std::string>& lines);
