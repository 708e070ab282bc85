// textToBytes and bytesToText: a file's bytes to text and back.

#include <string>

#include "core/text_ops.h"
#include "fuzz/reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const ByteBlock block(bytes.data(), static_cast<int32_t>(bytes.size()));
    FUZZ_CHECK(std::string(block.view()) == bytes, "a block holds every byte, NUL included");

    // The text ends before the first NUL byte.
    std::string expected;
    for (char c : bytes) {
        if (c == '\0') break;
        expected += c;
    }
    const Text text = bytesToText(block);
    FUZZ_CHECK(text == expected, "bytesToText stops at the first NUL");
    FUZZ_CHECK(textLength(bytes) == static_cast<int32_t>(expected.size()), "textLength");

    // A text goes to bytes and back unchanged; no terminator is added.
    const ByteBlock again = textToBytes(text);
    FUZZ_CHECK(again.size() == static_cast<int32_t>(text.size()) && std::string(again.view()) == text,
               "textToBytes keeps the bytes");
    FUZZ_CHECK(bytesToText(again) == text, "text to bytes and back");

    // Copies and moves keep the bytes.
    ByteBlock copy = block;
    ByteBlock moved = std::move(copy);
    FUZZ_CHECK(moved == block, "copy and move");
    moved.shrinkTo(static_cast<int32_t>(expected.size()));
    FUZZ_CHECK(std::string(moved.view()) == expected, "shrinkTo keeps the first bytes");
    return 0;
}
