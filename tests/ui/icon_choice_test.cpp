// Which images of the icon container become the window's large and small icon.

#include "ui/icon_choice.h"

#include <gtest/gtest.h>

namespace {

TEST(IconChoice, FirstImageOfTheRightWidthWithSixteenColoursOrMoreElseTheLast) {
    struct { const char* name; std::vector<IconImageInfo> directory; int large, small; } cases[] = {
        // The program's own container: no image qualifies, so both are image 9.
        {"program icon",
         {{32, 2}, {48, 16}, {48, 0}, {32, 0}, {16, 0}, {128, 0}, {48, 0}, {32, 0}, {16, 0}}, 8, 8},
        {"16-colour images qualify", {{16, 16}, {32, 2}, {32, 16}, {16, 16}}, 2, 0},
        {"width byte, not height", {{48, 16}, {32, 255}}, 1, 1},
        {"one image", {{128, 0}}, 0, 0},
        {"empty", {}, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const IconChoice choice = chooseWindowIcons(c.directory);
        EXPECT_EQ(choice.large, c.large);
        EXPECT_EQ(choice.small, c.small);
    }
}

}  // namespace
