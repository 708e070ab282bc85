#pragma once

#include <string>
#include <vector>

// A hosts file like the blocklists users paste in: a comment header, a
// localhost block, then `entries` lines "0.0.0.0 <name>", CR LF, no break at
// the end. 84,000 entries make about 2.6 MB.
inline std::string generatedBlocklist(int entries) {
    std::string text =
        "# Generated blocklist for tests\r\n# Entries: " + std::to_string(entries) +
        "\r\n\r\n127.0.0.1 localhost\r\n127.0.0.1 localhost.localdomain\r\n::1 localhost\r\n"
        "\r\n# Ads and trackers";
    text.reserve(text.size() + static_cast<size_t>(entries) * 32);
    for (int i = 0; i < entries; ++i)
        text += "\r\n0.0.0.0 ad" + std::to_string(i) + ".tracker" + std::to_string(i % 97) + ".example";
    return text;
}

// The lines of `text` cut at each CR LF (texts made of ASCII only).
inline std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}
