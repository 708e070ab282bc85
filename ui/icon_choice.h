#pragma once

#include <cstdint>
#include <vector>

// One image as the icon directory describes it: its width byte (0 stands for
// 256) and its colour-count byte (0 for 256 colours or more).
struct IconImageInfo {
    uint8_t width = 0;
    uint8_t colorCount = 0;
};

// Which images of an icon directory become the window's two icons, as 0-based
// indices in directory order; -1 for an empty directory.
struct IconChoice {
    int large = -1;
    int small = -1;
};

// The large icon is the first image of width 32 with a colour count of at
// least 16, the small one the first of width 16 with at least 16 colours; an
// icon that finds no such image takes the last image of the directory.
IconChoice chooseWindowIcons(const std::vector<IconImageInfo>& directory);
