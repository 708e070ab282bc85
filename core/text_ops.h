#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Texts are byte strings in the system's ANSI code page (GBK on the target
// systems). Nothing here converts or validates an encoding. Only splitText and
// replaceText look at characters, by one fixed rule: a byte of 0x80 or above
// begins a two-byte character together with the byte after it, whatever that
// byte is; a lead byte at the very end of a text stands alone.

// A byte string that holds no 0x00 byte. The empty text is an ordinary value.
using Text = std::string;

// An ordered list of texts, produced whole by splitText. It keeps one copy of
// the text it was cut from and where each member ends, so a list of a million
// lines costs two allocations and one copy, not a million.
class TextList {
public:
    int32_t count() const { return static_cast<int32_t>(ends_.size()); }
    bool empty() const { return ends_.empty(); }
    // Member `index` (0-based: the first member is index 0). The view lives as
    // long as the list does.
    std::string_view operator[](int32_t index) const {
        const int32_t begin = index == 0 ? 0 : ends_[index - 1] + gap_;
        return std::string_view(bytes_).substr(begin, ends_[index] - begin);
    }

    // Equal when both have the same members, whatever they were cut from.
    friend bool operator==(const TextList& a, const TextList& b);

private:
    friend TextList splitText(std::string_view text, std::string_view delimiter,
                              int32_t maxMembers);

    std::string bytes_;          // the text, up to the end of the last member
    std::vector<int32_t> ends_;  // end offset of each member in bytes_
    int32_t gap_ = 0;            // the delimiter's length: where one member ends, the next
                                 // begins this many bytes later
};

// A length and that many bytes of any value, 0x00 included: a file's contents.
class ByteBlock {
public:
    ByteBlock() = default;
    // Copies `size` bytes. Running out of memory here ends the program.
    ByteBlock(const char* data, int32_t size);
    // An uninitialised block of `size` bytes, or the empty block when the
    // memory cannot be had. The one allocation whose failure is not fatal.
    static ByteBlock tryAllocate(int32_t size);

    ByteBlock(const ByteBlock& other);
    ByteBlock& operator=(const ByteBlock& other);
    ByteBlock(ByteBlock&& other) noexcept;
    ByteBlock& operator=(ByteBlock&& other) noexcept;
    ~ByteBlock() = default;

    const char* data() const { return bytes_.get(); }
    char* data() { return bytes_.get(); }
    int32_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return {bytes_.get(), static_cast<size_t>(size_)}; }
    // Keeps the first `size` bytes (for a read that delivered fewer than asked).
    void shrinkTo(int32_t size);

    friend bool operator==(const ByteBlock& a, const ByteBlock& b) { return a.view() == b.view(); }

private:
    std::unique_ptr<char[]> bytes_;
    int32_t size_ = 0;
};

// The bytes of the inputs one after another.
Text concatText(std::initializer_list<std::string_view> parts);

// Byte-wise comparison of unsigned bytes; a proper prefix is smaller.
// Negative, zero or positive. Zero exactly when both are the same bytes.
int compareText(std::string_view a, std::string_view b);

// The first `byteCount` bytes (bytes, not characters); the empty text for a
// count of 0 or less, the whole text when it is shorter.
Text leftText(std::string_view text, int32_t byteCount);

// "No bound" for the counts of splitText and replaceText.
constexpr int32_t kUnlimited = std::numeric_limits<int32_t>::max();

// Cuts `text` at each `delimiter` that begins at a character start. The empty
// text gives no members; consecutive delimiters give empty members; a
// delimiter at the very end adds no empty member. An empty delimiter gives the
// whole text as one member. `maxMembers` (below 0 counts as 0) stops the cut
// once that many members have been found.
TextList splitText(std::string_view text, std::string_view delimiter = ",",
                   int32_t maxMembers = kUnlimited);

// Replaces, from left to right, occurrences of `pattern` that begin at a
// character start at or after 1-based byte `startPosition` (below 1 counts as
// 1). `maxReplacements` bounds the count (below 0 counts as 0: no change).
// Without `caseSensitive`, ASCII A-Z match a-z; every other byte matches only
// itself. Replacements are not searched again. An empty text or pattern, or a
// start beyond the text, gives the text unchanged.
Text replaceText(std::string_view text, std::string_view pattern, std::string_view replacement = {},
                 int32_t startPosition = 1, int32_t maxReplacements = kUnlimited,
                 bool caseSensitive = true);

// The same bytes as a block; no terminator is added.
ByteBlock textToBytes(std::string_view text);

// The bytes before the first 0x00, or all of them when there is none.
Text bytesToText(const ByteBlock& block);

// The 0-based offset of the first 0x00 byte of `bytes`, or its size when it
// holds none.
int32_t textLength(std::string_view bytes);

// --- Scanning by the character stepping rule, shared by the text operations
// and the hosts list. ---

// The position of the first byte at or after `from` that equals `target` or is
// 0x80 or above: the next place a scan for `target` has to stop and look. A
// run of ASCII bytes is skipped a word at a time.
size_t nextStop(std::string_view text, size_t from, unsigned char target);

// Calls `onPiece(view)` for each piece of `text` cut at `delimiter` exactly as
// splitText cuts it (without a member bound) and returns the piece count.
// `onPiece` returns false to stop early.
template <typename OnPiece>
int32_t forEachPiece(std::string_view text, std::string_view delimiter, OnPiece&& onPiece);

// ---- implementation of the template ----

template <typename OnPiece>
int32_t forEachPiece(std::string_view text, std::string_view delimiter, OnPiece&& onPiece) {
    if (text.empty()) return 0;
    if (delimiter.empty()) {
        onPiece(text);
        return 1;
    }
    const size_t n = text.size();
    const size_t d = delimiter.size();
    const auto first = static_cast<unsigned char>(delimiter[0]);
    int32_t pieces = 0;
    size_t start = 0;
    size_t p = 0;
    while (n - p >= d) {
        p = nextStop(text, p, first);
        if (p >= n || n - p < d) break;
        const auto c = static_cast<unsigned char>(text[p]);
        if (c == first && text.compare(p, d, delimiter) == 0) {
            ++pieces;
            if (!onPiece(text.substr(start, p - start))) return pieces;
            p += d;
            start = p;
        } else if (c >= 0x80) {
            if (p + 1 >= n) break;  // a lead byte at the very end stands alone
            p += 2;
        } else {
            p += 1;
        }
    }
    if (start < n) {
        ++pieces;
        onPiece(text.substr(start));
    }
    return pieces;
}
