#pragma once

// The text rules written out again, byte by byte and as plainly as possible,
// for the fuzz targets to hold the core against. Nothing here calls the core;
// nothing skips ahead or shares code with it.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace reference {

using Bytes = std::string;
using List = std::vector<Bytes>;

// A byte of 0x80 or above begins a two-byte character.
inline bool isLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

inline bool bytesAt(const Bytes& text, size_t p, const Bytes& what) {
    if (text.size() - p < what.size()) return false;
    for (size_t i = 0; i < what.size(); ++i)
        if (text[p + i] != what[i]) return false;
    return true;
}

// Cuts `text` at `delimiter`. A bound below 0 counts as 0; the core's "no
// bound" is the largest bound, which no text can reach.
inline List split(const Bytes& text, const Bytes& delimiter, int64_t bound) {
    List members;
    if (bound < 0) bound = 0;
    if (text.empty() || bound == 0) return members;
    if (delimiter.empty()) return {text};
    const size_t n = text.size(), d = delimiter.size();
    size_t s = 0, p = 0;
    while (n - p >= d) {
        if (bytesAt(text, p, delimiter)) {
            members.push_back(text.substr(s, p - s));
            p += d;
            s = p;
            if (static_cast<int64_t>(members.size()) == bound) return members;
        } else if (isLeadByte(text[p])) {
            if (p == n - 1) break;
            p += 2;
        } else {
            p += 1;
        }
    }
    if (s < n) members.push_back(text.substr(s));
    return members;
}

inline char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline Bytes replace(const Bytes& text, const Bytes& pattern, const Bytes& replacement, int64_t start,
                     int64_t maxReplacements, bool caseSensitive) {
    if (start < 1) start = 1;
    if (maxReplacements < 0) maxReplacements = 0;
    const size_t n = text.size(), m = pattern.size();
    if (n == 0 || m == 0 || static_cast<uint64_t>(start) > n || maxReplacements == 0) return text;
    Bytes result = text.substr(0, static_cast<size_t>(start - 1));
    size_t p = static_cast<size_t>(start - 1);
    int64_t replaced = 0;
    while (n - p >= m) {
        bool match = true;
        for (size_t i = 0; i < m; ++i) {
            const char a = text[p + i], b = pattern[i];
            if (caseSensitive ? a != b : lowerAscii(a) != lowerAscii(b)) match = false;
        }
        if (match) {
            result += replacement;
            p += m;
            if (++replaced == maxReplacements) break;
        } else if (isLeadByte(text[p])) {
            if (p == n - 1) break;  // kept by the copy of the rest below
            result += text.substr(p, 2);
            p += 2;
        } else {
            result += text[p];
            p += 1;
        }
    }
    return result + text.substr(p);
}

// Every piece of `text` between CR LF breaks, the last one too when it is
// empty: joined with CR LF again they give back `text`. The empty text is one
// empty piece.
inline List linePieces(const Bytes& text) {
    List pieces;
    size_t s = 0, p = 0;
    while (p < text.size()) {
        if (bytesAt(text, p, "\r\n")) {
            pieces.push_back(text.substr(s, p - s));
            p += 2;
            s = p;
        } else {
            p += isLeadByte(text[p]) ? 2 : 1;
        }
    }
    pieces.push_back(text.substr(s));
    return pieces;
}

inline Bytes joinLines(const List& pieces) {
    Bytes text;
    for (size_t i = 0; i < pieces.size(); ++i) text += (i ? "\r\n" : "") + pieces[i];
    return text;
}

struct Entry {
    Bytes site, address;
};

// The entries a hosts text lists: lines that are not empty and do not begin
// with "#", cut at single spaces; two fields or more make an entry.
inline std::vector<Entry> entries(const Bytes& text) {
    std::vector<Entry> listed;
    for (const Bytes& line : split(text, "\r\n", INT64_MAX)) {
        if (line.empty() || line[0] == '#') continue;
        const List fields = split(line, " ", INT64_MAX);
        if (fields.size() >= 2) listed.push_back({fields[1], fields[0]});
    }
    return listed;
}

// True when `line` is exactly the line of the entry `address`, `site`: it is
// those two fields joined by one space, and it reads back as that entry.
inline bool isLineOf(const Bytes& line, const Bytes& address, const Bytes& site) {
    if (line != address + " " + site || line[0] == '#') return false;
    const List fields = split(line, " ", INT64_MAX);
    return fields.size() >= 2 && fields[0] == address && fields[1] == site;
}

// The lines of a hosts text (its `pieces`) after removing the entry `address`, `site`
// selected at `index` of `count`: every line that is exactly that entry's line
// goes, with the break before it (a later entry: never the first line), the
// break after it (the first of several: never the last line), or no break (a
// sole entry: the line is left empty). `removed` tells whether any line went.
// The lines that stay are the pieces of the text, unchanged and in order.
inline List removeEntry(const List& pieces, int32_t index, const Bytes& site, const Bytes& address,
                        int32_t count, bool& removed) {
    const Bytes line = address + " " + site;
    const bool entryLine = isLineOf(line, address, site);
    List kept;
    removed = false;
    for (size_t j = 0; j < pieces.size(); ++j) {
        bool goes = entryLine && pieces[j] == line;
        if (index != 0) goes = goes && j > 0;
        else if (count != 1) goes = goes && j + 1 < pieces.size();
        if (!goes) {
            kept.push_back(pieces[j]);
        } else {
            removed = true;
            if (index == 0 && count == 1) kept.push_back("");
        }
    }
    return kept;
}

inline void printBytes(const char* name, const Bytes& bytes) {
    std::fprintf(stderr, "%s (%zu bytes): \"", name, bytes.size());
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') std::fputc(c, stderr);
        else std::fprintf(stderr, "\\x%02x", c);
    }
    std::fputs("\"\n", stderr);
}

}  // namespace reference

// Ends the run with `what` when `ok` is false: libFuzzer keeps the input that
// did it and the run fails.
#define FUZZ_CHECK(ok, what)                                                          \
    do {                                                                              \
        if (!(ok)) {                                                                  \
            std::fprintf(stderr, "mismatch: %s (%s:%d)\n", what, __FILE__, __LINE__); \
            std::abort();                                                             \
        }                                                                             \
    } while (false)
