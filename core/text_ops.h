#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// run of ASCII bytes is skipped many bytes at a time.
inline size_t nextStop(std::string_view text, size_t from, unsigned char target);

// What nextStop finds, for a scan that asks again and again from further on:
// the stops of sixty-four bytes are found at once and handed out one by one.
class StopFinder {
public:
    StopFinder(std::string_view text, unsigned char target)
        : text_(text), target_(target), base_(text.size() + kBlock) {}
    // nextStop(text, from, target), for any `from` from 0 to the text's size;
    // fastest when each call starts at or after where the one before it stopped.
    size_t next(size_t from);

private:
    static constexpr size_t kBlock = 64;
    uint64_t stopsAt(size_t at) const;

    std::string_view text_;
    unsigned char target_;
    size_t base_;         // where the block of `stops_` begins; none yet: beyond the end
    uint64_t stops_ = 0;  // bit i: text_[base_ + i] is a stop
};

// Calls `onPiece(view)` for each piece of `text` cut at `delimiter` exactly as
// splitText cuts it (without a member bound) and returns the piece count.
// `onPiece` returns false to stop early.
template <typename OnPiece>
int32_t forEachPiece(std::string_view text, std::string_view delimiter, OnPiece&& onPiece);

// ---- implementation of the inline functions ----

inline size_t nextStop(std::string_view text, size_t from, unsigned char target) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t p = from;
    if (target < 0x80) {
#if defined(__SSE2__)
        // Sixteen bytes at a time: the compare sets every byte that equals
        // `target` to 0xFF, and a byte of 0x80 or above has its high bit set
        // already; movemask gathers the high bits.
        if (n >= 16) {
            const __m128i targets = _mm_set1_epi8(static_cast<char>(target));
            auto stopsAt = [&](size_t at) {
                const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
                return static_cast<unsigned>(
                    _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, targets), chunk)));
            };
            for (; n - p >= 16; p += 16) {
                if (const unsigned stops = stopsAt(p))
                    return p + static_cast<size_t>(std::countr_zero(stops));
            }
            if (p == n) return n;
            // The rest: the sixteen bytes that end the text, without those before p.
            const size_t last = n - 16;
            const unsigned stops = stopsAt(last) >> (p - last);
            return stops ? p + static_cast<size_t>(std::countr_zero(stops)) : n;
        }
#endif
        // A word has a stop in it when one of its bytes has the high bit set
        // or equals `target` (the classic "has zero byte" test on word ^ target).
        // Its lowest flagged byte is always a real stop: a false flag can only
        // sit above a byte that equals `target`.
        constexpr uint64_t ones = 0x0101010101010101ull;
        constexpr uint64_t highs = 0x8080808080808080ull;
        const uint64_t spread = ones * target;
        while (n - p >= 8) {
            uint64_t word;
            std::memcpy(&word, bytes + p, 8);
            const uint64_t x = word ^ spread;
            const uint64_t stops = ((x - ones) & ~x & highs) | (word & highs);
            if (stops) {
                if constexpr (std::endian::native == std::endian::little)
                    return p + static_cast<size_t>(std::countr_zero(stops)) / 8;
                break;
            }
            p += 8;
        }
    }
    while (p < n && bytes[p] != target && bytes[p] < 0x80) ++p;
    return p;
}

namespace text_ops_detail {
// Whether `text` at `p`, whose first byte is known to match, holds the rest of
// `delimiter`. The delimiters in use are a byte or two: too short for memcmp.
inline bool restMatches(std::string_view text, size_t p, std::string_view delimiter) {
    for (size_t i = 1; i < delimiter.size(); ++i)
        if (text[p + i] != delimiter[i]) return false;
    return true;
}
}  // namespace text_ops_detail

inline size_t StopFinder::next(size_t from) {
#if defined(__SSE2__)
    const size_t n = text_.size();
    if (target_ < 0x80) {
        for (;;) {
            // Unsigned: true only inside the block found last, never before
            // the first.
            if (from - base_ < kBlock) {
                if (const uint64_t ahead = stops_ >> (from - base_))
                    return from + static_cast<size_t>(std::countr_zero(ahead));
                from = base_ + kBlock;
            }
            if (from > n || n - from < kBlock) break;
            base_ = from;
            stops_ = stopsAt(from);
        }
    }
#endif
    return nextStop(text_, from, target_);
}

inline uint64_t StopFinder::stopsAt(size_t at) const {
#if defined(__SSE2__)
    const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data()) + at;
    const __m128i targets = _mm_set1_epi8(static_cast<char>(target_));
    uint64_t stops = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * i));
        const auto found = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, targets), chunk)));
        stops |= static_cast<uint64_t>(found) << (16 * i);
    }
    return stops;
#else
    (void)at;
    return 0;
#endif
}

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
    StopFinder stops(text, first);
    int32_t pieces = 0;
    size_t start = 0;
    size_t p = 0;
    while (n - p >= d) {
        p = stops.next(p);
        if (p >= n || n - p < d) break;
        const auto c = static_cast<unsigned char>(text[p]);
        if (c == first && text_ops_detail::restMatches(text, p, delimiter)) {
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
