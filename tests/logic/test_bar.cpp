/* test_bar.cpp - the progress bar's split point: exact truncating division,
 * and no overflow for wide bars. */
#include <gtest/gtest.h>
#include "logic.h"

TEST(BarSplit, TruncatesTowardZero)
{
    const struct { int nWidth, nPerc, nSplit; } cases[] = {
        {133, 50, 66},      /* 66.5 */
        {133, 0, 0},
        {133, 100, 133},
        {133, 33, 43},      /* 43.89 */
        {133, 1, 1},        /* 1.33 */
        {99, 1, 0},         /* 0.99 */
        {200, 37, 74},
        {0, 50, 0},
        {133, -50, -66},    /* -66.5 toward zero, not -67 */
        {-133, 50, -66},
        {133, 150, 199},    /* not clamped here */
    };
    for (const auto &c : cases)
        EXPECT_EQ(BarSplit(c.nWidth, c.nPerc), c.nSplit) << c.nWidth << " x " << c.nPerc;
}

TEST(BarSplit, WideBarDoesNotOverflow)
{
    /* 30,000,000 x 100 is beyond 32 bits; the split is still the width. */
    EXPECT_EQ(BarSplit(30000000, 100), 30000000);
    EXPECT_EQ(BarSplit(30000000, 50), 15000000);
    EXPECT_EQ(BarSplit(2147483647, 100), 2147483647);
}
