// The committed icon file: nine DIB images with masks, in the agreed order,
// sizes and depths.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string iconFileBytes() {
    std::ifstream in(HBL_SOURCE_DIR "/resources/app.ico", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

int32_t rowBytes(int width, int bpp) { return (width * bpp + 31) / 32 * 4; }

TEST(AppIcon, HoldsTheNineImagesAsDibsWithMasks) {
    const std::string file = iconFileBytes();
    ASSERT_GE(file.size(), 6u);
    EXPECT_EQ(le(file, 0, 2), 0u);
    EXPECT_EQ(le(file, 2, 2), 1u);  // an icon, not a cursor
    ASSERT_EQ(le(file, 4, 2), 9u);

    struct { int size, bpp, colourCount; } expected[] = {
        {32, 1, 2}, {48, 4, 16}, {48, 8, 0}, {32, 8, 0}, {16, 8, 0},
        {128, 32, 0}, {48, 32, 0}, {32, 32, 0}, {16, 32, 0},
    };
    size_t nextOffset = 6 + 9 * 16;
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        const size_t entry = 6 + 16 * i;
        const auto& e = expected[i];
        EXPECT_EQ(le(file, entry + 0, 1), static_cast<uint32_t>(e.size));
        EXPECT_EQ(le(file, entry + 1, 1), static_cast<uint32_t>(e.size));
        EXPECT_EQ(le(file, entry + 2, 1), static_cast<uint32_t>(e.colourCount));
        EXPECT_EQ(le(file, entry + 4, 2), 1u);  // planes
        EXPECT_EQ(le(file, entry + 6, 2), static_cast<uint32_t>(e.bpp));
        const uint32_t bytes = le(file, entry + 8, 4);
        const uint32_t offset = le(file, entry + 12, 4);
        EXPECT_EQ(offset, nextOffset);
        nextOffset = offset + bytes;
        ASSERT_LE(nextOffset, file.size());

        EXPECT_NE(file.compare(offset, 4, "\x89PNG"), 0);
        EXPECT_EQ(le(file, offset, 4), 40u);  // BITMAPINFOHEADER
        EXPECT_EQ(static_cast<int32_t>(le(file, offset + 4, 4)), e.size);
        EXPECT_EQ(static_cast<int32_t>(le(file, offset + 8, 4)), 2 * e.size);  // colours + mask
        EXPECT_EQ(le(file, offset + 14, 2), static_cast<uint32_t>(e.bpp));
        EXPECT_EQ(le(file, offset + 16, 4), 0u);  // BI_RGB
        const uint32_t paletteEntries = e.bpp <= 8 ? 1u << e.bpp : 0u;
        const uint32_t expectBytes = 40 + 4 * paletteEntries + rowBytes(e.size, e.bpp) * e.size +
                                     rowBytes(e.size, 1) * e.size;
        EXPECT_EQ(bytes, expectBytes);
    }
    EXPECT_EQ(nextOffset, file.size());
}

}  // namespace
