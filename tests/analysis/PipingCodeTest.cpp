#include "analysis/PipingCode.h"

#include <gtest/gtest.h>

using namespace ketra::analysis;

TEST(PipingCode, LongRadiusElbowsAndTeesOfTwoSizes) {
    // Worked by hand from the code's table: 6-inch schedule 40 (OD 168.3, T 7.11) and 12-inch
    // standard wall (OD 323.8, T 9.53) long-radius elbows, R = 1.5 × nominal size.
    const BendFactors six = ElbowFactors(168.3, 7.11, 228.6);
    EXPECT_NEAR(six.h, 0.25023, 5e-5);
    EXPECT_NEAR(six.flexibility, 6.594, 5e-3);
    EXPECT_NEAR(six.inPlane, 2.265, 5e-3);
    EXPECT_NEAR(six.outOfPlane, 1.888, 5e-3);
    const BendFactors twelve = ElbowFactors(323.8, 9.53, 457.2);
    EXPECT_NEAR(twelve.h, 0.17646, 5e-5);
    EXPECT_NEAR(twelve.flexibility, 9.351, 5e-3);
    EXPECT_NEAR(twelve.inPlane, 2.861, 5e-3);
    EXPECT_NEAR(twelve.outOfPlane, 2.384, 5e-3);
    // A thick, tight bend is no more flexible than straight pipe, and intensifies nothing.
    const BendFactors stiff = ElbowFactors(100, 30, 500);
    EXPECT_EQ(stiff.flexibility, 1);
    EXPECT_EQ(stiff.inPlane, 1);
    // A 6-inch schedule 40 welding tee: h = 3.1·7.11/80.595 = 0.27348, i_o = 2.136,
    // i_i = 1.852.
    const BendFactors tee = TeeFactors(168.3, 7.11);
    EXPECT_NEAR(tee.h, 0.27348, 5e-5);
    EXPECT_NEAR(tee.outOfPlane, 2.136, 5e-3);
    EXPECT_NEAR(tee.inPlane, 1.852, 5e-3);
    EXPECT_EQ(tee.flexibility, 1);
}
