#include "geometry/CVector3D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

TEST(CVector3DTest, DefaultIsAllZero)
{
    CVector3D v;
    EXPECT_EQ(v.GetHeight(), 0.0f);
    EXPECT_EQ(v.GetTheta(), 0.0f);
    EXPECT_EQ(v.GetXRotation(), 0.0f);
    EXPECT_EQ(v.GetSplitVector(), nullptr);
    EXPECT_EQ(v.GetSplitVectorSize(), 0);
}

TEST(CVector3DTest, StraightDownIsExactlyHalfTurn)
{
    CVector3D v(0, 0, 0, 0, 0, -5);
    EXPECT_EQ(v.GetTheta(), 180.0f);
    EXPECT_EQ(v.GetNormalX(), 0.0f);
    EXPECT_EQ(v.GetNormalY(), 0.0f);
    EXPECT_EQ(v.GetNormalZ(), 0.0f);
    EXPECT_NEAR(v.GetZRotation(), 180.0f, 1e-4f);
    EXPECT_NEAR(v.GetXRotation(), 90.0f, 1e-4f);
}

TEST(CVector3DTest, HorizontalElementUsesSinglePrecisionPi)
{
    CVector3D v(0, 0, 0, 3, 4, 0);
    EXPECT_EQ(v.GetHeight(), 5.0f);
    // acos(0) in single precision converted with 3.1415925 is not exactly 90.
    EXPECT_EQ(v.GetTheta(), 90.0000076f);
    EXPECT_NE(v.GetTheta(), 90.0f);
    EXPECT_EQ(v.GetNormalX(), 4.0f);
    EXPECT_EQ(v.GetNormalY(), -3.0f);
    EXPECT_EQ(v.GetNormalZ(), 0.0f);
    EXPECT_NEAR(v.GetXRotation(), 53.13f, 0.01f);
    EXPECT_NEAR(v.GetYRotation(), 36.87f, 0.01f);
    EXPECT_NEAR(v.GetZRotation(), 90.0f, 1e-4f);
    EXPECT_EQ(v.GetNormalVector(0), 4.0f);
    EXPECT_EQ(v.GetNormalVector(1), -3.0f);
    EXPECT_EQ(v.GetNormalVector(3), 0.0f);
}

TEST(CVector3DTest, StraightUpAndSkewedTheta)
{
    CVector3D up(1, 2, 3, 1, 2, 13);
    EXPECT_EQ(up.GetTheta(), 0.0f);
    // θ divides by the rounded length (1.414) but takes the horizontal share from the exact
    // one, so a 45 degree element reads 44.9957.
    CVector3D skew(0, 0, 0, 1, 0, 1);
    EXPECT_NEAR(skew.GetTheta(), 44.99567f, 1e-4f);
    CVector3D skewDown(0, 0, 0, 1, 0, -1);
    EXPECT_NEAR(skewDown.GetTheta(), 180.0f - 44.99567f, 1e-4f);
}

TEST(CVector3DTest, LengthIsRoundedToThreeDecimals)
{
    CVector3D v(0, 0, 0, 1.00049f, 0, 0);
    EXPECT_EQ(v.GetHeight(), 1.0f);
    CVector3D w(0, 0, 0, 0, 1.2346f, 0);
    EXPECT_EQ(w.GetHeight(), 1.235f);
}

TEST(CVector3DTest, RoundingEqualsTheTextRoundTrip)
{
    std::mt19937 random(1);
    std::uniform_real_distribution<float> small(0, 10);
    std::uniform_real_distribution<float> exponent(-8, 30);
    std::vector<float> values = {0.0005f, 0.0015f, 0.0025f, 1.0005f, 2.5e-4f, 1e30f, 0, 123.4565f};
    for (int i = 0; i < 20000; ++i) {
        values.push_back(small(random));
        values.push_back(std::pow(10.0f, exponent(random)));
    }
    for (float v : values) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", static_cast<double>(v));
        ASSERT_EQ(RoundToThousandths(v), static_cast<float>(std::strtod(text, nullptr))) << text;
    }
    EXPECT_TRUE(std::isinf(RoundToThousandths(INFINITY)));
    EXPECT_TRUE(std::isnan(RoundToThousandths(NAN)));
}

TEST(CVector3DTest, ShortElementHasNoDirectionAngles)
{
    CVector3D v(0, 0, 0, 0.005f, 0, 0);
    EXPECT_EQ(v.GetHeight(), 0.005f);
    EXPECT_EQ(v.GetXRotation(), 0.0f);
    EXPECT_EQ(v.GetYRotation(), 0.0f);
    EXPECT_EQ(v.GetZRotation(), 0.0f);
}

TEST(CVector3DTest, ZeroLengthElement)
{
    CVector3D v(2, 2, 2, 2, 2, 2);
    EXPECT_EQ(v.GetHeight(), 0.0f);
    EXPECT_EQ(v.GetTheta(), 90.0000076f);
    EXPECT_EQ(v.GetNormalX(), 0.0f);
    EXPECT_EQ(v.GetNormalY(), 0.0f);
    EXPECT_EQ(v.GetXRotation(), 0.0f);
}

TEST(CVector3DTest, DirectionAngleNearNegativeAxisIsNotNaN)
{
    // The height rounds up while the component truncates: without the lower clamp the
    // quotient drops below −1 and acos is NaN.
    CVector3D v(0, 0, 0, -1.0004999f, 0.0001f, 0);
    EXPECT_FALSE(std::isnan(v.GetXRotation()));
    EXPECT_NEAR(v.GetXRotation(), 180.0f, 0.1f);
}

TEST(CVector3DTest, RotationAxisOutOfRange)
{
    CVector3D v(0, 0, 0, 1, 0, 0);
    EXPECT_EQ(v.GetRotation(0), -1.0f);
    EXPECT_EQ(v.GetRotation(4), -1.0f);
    EXPECT_EQ(v.GetRotation(1), v.GetXRotation());
}

TEST(CVector3DTest, SetHeightFromEitherEnd)
{
    CVector3D v(0, 0, 0, 10, 0, 0);
    v.SetHeight(2, 0);
    EXPECT_EQ(v.GetNewHeightX(), 2.0f);
    EXPECT_EQ(v.GetNewHeightY(), 0.0f);
    v.SetHeight(2, 1);
    EXPECT_EQ(v.GetNewHeightX(), 8.0f);
    CVector3D zero(1, 1, 1, 1, 1, 1);
    zero.SetHeight(5, 0);
    EXPECT_EQ(zero.GetNewHeightX(), 1.0f);
}

TEST(CVector3DTest, SplitVectorCountsAndOwnership)
{
    CVector3D v(0, 0, 0, 8, 4, 0);
    v.SplitVector(0);
    ASSERT_EQ(v.GetSplitVectorSize(), 2);
    EXPECT_EQ(v.GetSplitVector(0), HPoint(0, 0, 0));
    EXPECT_EQ(v.GetSplitVector(1), HPoint(8, 4, 0));
    v.SplitVector(1);
    EXPECT_EQ(v.GetSplitVectorSize(), 2);
    v.SplitVector(5);
    ASSERT_EQ(v.GetSplitVectorSize(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(v.GetSplitVector(i).x, 2.0f * i);
        EXPECT_FLOAT_EQ(v.GetSplitVector(i).y, 1.0f * i);
    }
    EXPECT_EQ(v.GetSplitVector()[4], HPoint(8, 4, 0));
    EXPECT_EQ(v.GetSplitVector(5), HPoint());
    EXPECT_EQ(v.GetSplitVector(-1), HPoint());
    // Set keeps the split list.
    v.Set(0, 0, 0, 1, 1, 1);
    EXPECT_EQ(v.GetSplitVectorSize(), 5);
}

TEST(CVector3DTest, SingleCoordinateSettersOnlyChangeHeight)
{
    CVector3D v(0, 0, 0, 10, 0, 0);
    const float theta = v.GetTheta();
    v.SetToX(0);
    v.SetToZ(4);
    EXPECT_EQ(v.GetHeight(), 4.0f);
    EXPECT_EQ(v.GetTheta(), theta);
    EXPECT_EQ(v.GetNormalY(), -10.0f);
    v.SetFromZ(1);
    EXPECT_EQ(v.GetHeight(), 3.0f);
}

TEST(CVector3DTest, AngleBetweenElements)
{
    CVector3D a(0, 0, 0, 10, 0, 0);
    CVector3D b(10, 0, 0, 10, 10, 0);
    CVector3D c(10, 0, 0, 20, 0, 0);
    CVector3D d(10, 0, 0, 0, 0, 0);
    EXPECT_NEAR(a ^ &b, 90.0f, 1e-4f);
    EXPECT_EQ(a ^ &c, 0.0f);
    EXPECT_NEAR(a ^ &d, 180.0f, 1e-3f);
    EXPECT_EQ(a ^ nullptr, 0.0f);
}

TEST(CVector3DTest, AngleBetweenNormals)
{
    CVector3D a(0, 0, 0, 10, 0, 0);  // normal (0, −10, 0)
    CVector3D b(0, 0, 0, 0, 10, 0);  // normal (10, 0, 0)
    CVector3D up(0, 0, 0, 0, 0, 10); // normal (0, 0, 0)
    EXPECT_NEAR(a % &b, 90.0f, 1e-4f);
    EXPECT_NEAR(a % &a, 0.0f, 1e-3f);
    EXPECT_NEAR(a % &up, 90.0f, 1e-4f);
    // Components below 0.001 count as zero.
    CVector3D tiny(0, 0, 0, 0.0005f, 0.0005f, 10);
    EXPECT_NEAR(a % &tiny, 90.0f, 1e-4f);
}

TEST(CVector3DTest, RightAngleBendFrame)
{
    CVector3D e1(0, 0, 0, 10, 0, 0);
    CVector3D e2(10, 0, 0, 10, 10, 0);
    float M[4][4];
    const float phi = e1.GetBendRotation(&e2, 3, M);
    EXPECT_NEAR(phi, 0.0f, 1e-5f);
    EXPECT_EQ(e1.GetHeight(), 7.0f);
    EXPECT_NEAR(e1.GetWeld1X(), 7.0f, 1e-5f);
    EXPECT_NEAR(e1.GetWeld1Y(), 0.0f, 1e-5f);
    EXPECT_NEAR(e1.GetWeld2X(), 10.0f, 1e-5f);
    EXPECT_NEAR(e1.GetWeld2Y(), 3.0f, 1e-5f);
    EXPECT_NEAR(e1.GetBendCenterX(), 7.0f, 1e-5f);
    EXPECT_NEAR(e1.GetBendCenterY(), 3.0f, 1e-5f);
    EXPECT_NEAR(e1.GetBendCenterZ(), 0.0f, 1e-5f);
    EXPECT_EQ(e1.GetBendNormalX(), 0.0f);
    EXPECT_EQ(e1.GetBendNormalY(), -1000.0f);
    EXPECT_EQ(e1.GetBendNormalZ(), 0.0f);
    const float expected[4][4] = {{0, -1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(M[r][c], expected[r][c]) << r << "," << c;
        }
    }
    // Theta, normal and direction angles are not recomputed.
    EXPECT_EQ(e1.GetTheta(), 90.0000076f);
    EXPECT_EQ(e1.GetNormalY(), -10.0f);
}

TEST(CVector3DTest, VerticalBendPlaneAngle)
{
    CVector3D e1(0, 0, 0, 10, 0, 0);
    CVector3D e2(10, 0, 0, 10, 0, 10);
    float M[4][4];
    EXPECT_NEAR(e1.GetBendRotation(&e2, 2, M), 90.0f, 1e-3f);
    EXPECT_NEAR(e1.GetBendCenterX(), 8.0f, 1e-4f);
    EXPECT_NEAR(e1.GetBendCenterZ(), 2.0f, 1e-4f);
}

TEST(CVector3DTest, BendPointsForCollinearElementsHaveNoCentre)
{
    const float A1[3] = {0, 0, 0};
    float B1[3] = {10, 0, 0};
    const float A2[3] = {10, 0, 0};
    float B2[3] = {20, 0, 0};
    float centre[3] = {-7, -7, -7};
    float T = -1;
    EXPECT_EQ(CalcBendPoints(A1, B1, A2, B2, 3, centre, &T), 1);
    EXPECT_EQ(T, 0.0f);
    EXPECT_EQ(B1[0], 10.0f);
    EXPECT_EQ(B2[0], 10.0f);
    EXPECT_EQ(centre[0], -7.0f);
}

TEST(CVector3DTest, BendPointsOfSkewedBendLieOnBothElements)
{
    // A 60 degree turn in a tilted plane: the centre is R from both tangent points and the
    // tangent points are T back from and forward of the corner.
    const float A1[3] = {0, 0, 0};
    float B1[3] = {10, 10, 10};
    const float A2[3] = {10, 10, 10};
    float B2[3] = {20, 10, 20};
    float centre[3];
    float T = 0;
    ASSERT_EQ(CalcBendPoints(A1, B1, A2, B2, 4, centre, &T), 0);
    auto dist = [](const float* a, const float* b) {
        return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                         (a[2] - b[2]) * (a[2] - b[2]));
    };
    EXPECT_NEAR(dist(centre, B1), 4.0f, 1e-3f);
    EXPECT_NEAR(dist(centre, B2), 4.0f, 1e-3f);
    EXPECT_NEAR(dist(B1, A2), T, 1e-3f);
    EXPECT_NEAR(dist(B2, A2), T, 1e-3f);
}

} // namespace
