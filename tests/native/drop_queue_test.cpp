#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/drop_queue.h"

namespace {

using Paths = std::vector<std::string>;

TEST(DropQueue, DropsThatComeWhileOneIsWorkedOnWaitAndFollowInOrder) {
    DropQueue drops;
    EXPECT_FALSE(drops.Begin().has_value());
    drops.Add({"C:\\a.jpg"});
    ASSERT_EQ(drops.Begin(), std::optional<Paths>(Paths{"C:\\a.jpg"}));
    EXPECT_TRUE(drops.Busy());

    drops.Add({"C:\\b.jpg", "C:\\c"});
    drops.Add({});
    drops.Add({"C:\\d.jpg"});
    // Not while the first is worked on, nor while its boxes are open.
    EXPECT_FALSE(drops.Begin().has_value());
    EXPECT_EQ(drops.Waiting(), 3u);

    std::vector<Paths> order;
    for (drops.Finish(); std::optional<Paths> next = drops.Begin(); drops.Finish()) {
        order.push_back(*next);
        EXPECT_FALSE(drops.Begin().has_value());
    }
    EXPECT_EQ(order, (std::vector<Paths>{{"C:\\b.jpg", "C:\\c"}, {}, {"C:\\d.jpg"}}));
    EXPECT_FALSE(drops.Busy());
    EXPECT_EQ(drops.Waiting(), 0u);
}

} // namespace
