// How the parameter tree's columns share the window's width, and how their widths are stored.
#include "core/app/tree/column_layout.h"

#include <gtest/gtest.h>

namespace varda {
namespace {

TEST(ColumnLayout, StretchingColumnsShareTheSpareWidthAndKeepTheirCaptions) {
    // Description, Parameter, Value, Error: the first and the last stretch.
    const std::vector<ColumnFit> columns = {
        {360, 90, true}, {70, 80, false}, {180, 50, false}, {220, 120, true}};
    struct Case {
        int available;
        std::vector<int> widths;
    };
    const Case cases[] = {
        // A wide window: 1600 - 80 - 180 = 1340 shared 360:220.
        {1600, {831, 80, 180, 509}},
        // Error would fall below its caption: it keeps the caption, Description takes the rest.
        {500, {120, 80, 180, 120}},
        // Exactly the fixed columns' room: the stretching ones fall back to their captions.
        {260, {90, 80, 180, 120}},
        // Narrower than the captions: the view scrolls, nothing is clipped.
        {100, {90, 80, 180, 120}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fit_columns(columns, c.available), c.widths) << c.available;
    }
    // A row fills the view exactly whenever the captions fit.
    for (const int available : {500, 777, 1001, 1920}) {
        const std::vector<int> widths = fit_columns(columns, available);
        int sum = 0;
        for (const int w : widths)
            sum += w;
        EXPECT_EQ(sum, available) << available;
    }
    // Without stretching columns every column keeps its width, at least its caption.
    EXPECT_EQ(fit_columns({{40, 60, false}, {100, 10, false}}, 1000), (std::vector<int>{60, 100}));
}

TEST(ColumnLayout, StoredWidthsComeBackOnlyWhenWhole) {
    EXPECT_EQ(widths_text({360, 70, 180}), "360,70,180");
    EXPECT_EQ(parse_widths("360,70,180", 3), (std::vector<int>{360, 70, 180}));
    for (const char* bad :
         {"", "360,70", "360,70,180,5", "360,,180", "360,70,", "360,x,180", "360,-1,180", "360,0,180"})
        EXPECT_TRUE(parse_widths(bad, 3).empty()) << bad;
}

}  // namespace
}  // namespace varda
