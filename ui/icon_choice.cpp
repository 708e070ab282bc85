#include "ui/icon_choice.h"

#include <cstddef>

namespace {

int firstQualifying(const std::vector<IconImageInfo>& directory, uint8_t width) {
    for (std::size_t i = 0; i < directory.size(); ++i)
        if (directory[i].width == width && directory[i].colorCount >= 16) return static_cast<int>(i);
    return static_cast<int>(directory.size()) - 1;
}

}  // namespace

IconChoice chooseWindowIcons(const std::vector<IconImageInfo>& directory) {
    return IconChoice{firstQualifying(directory, 32), firstQualifying(directory, 16)};
}
