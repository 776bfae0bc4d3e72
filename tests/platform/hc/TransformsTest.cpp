// Modelling transforms (composition order, inheritance) and vector computations.
#include "HcTestSupport.h"

#include <array>
#include <cmath>

using namespace ketra::hc::test;

namespace {

using P = std::array<float, 3>;

P Apply(const float* m, P p) {
    P out;
    HC_Compute_Transformed_Points(1, p.data(), m, out.data());
    return out;
}

void ExpectNear(P a, P b) {
    EXPECT_NEAR(a[0], b[0], 1e-5);
    EXPECT_NEAR(a[1], b[1], 1e-5);
    EXPECT_NEAR(a[2], b[2], 1e-5);
}

class Transforms : public GraphTest {};

TEST_F(Transforms, CallOrderMattersRotateThenTranslate) {
    float m[16];
    HC_Open_Segment("/rt");
    HC_Rotate_Object(0, 0, 90);
    HC_Translate_Object(10, 0, 0);
    HC_Show_Net_Modelling_Matrix(m);
    HC_Close_Segment();
    // (1,0,0) turns onto +Y, then moves by +10 X.
    ExpectNear(Apply(m, {1, 0, 0}), {10, 1, 0});

    HC_Open_Segment("/tr");
    HC_Translate_Object(10, 0, 0);
    HC_Rotate_Object(0, 0, 90);
    HC_Show_Net_Modelling_Matrix(m);
    HC_Close_Segment();
    // Moved first, then the whole is turned about Z.
    ExpectNear(Apply(m, {1, 0, 0}), {0, 11, 0});
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(Transforms, RotationsAreRightHandedAboutEachAxis) {
    float m[16];
    HC_Compute_Rotation_Matrix(90, 0, 0, m);
    ExpectNear(Apply(m, {0, 1, 0}), {0, 0, 1});
    HC_Compute_Rotation_Matrix(0, 90, 0, m);
    ExpectNear(Apply(m, {0, 0, 1}), {1, 0, 0});
    HC_Compute_Offaxis_Rotation(0, 0, 2, 90, m);
    ExpectNear(Apply(m, {1, 0, 0}), {0, 1, 0});
    // Off-axis about the diagonal by 120 degrees cycles the axes.
    HC_Compute_Offaxis_Rotation(1, 1, 1, 120, m);
    ExpectNear(Apply(m, {1, 0, 0}), {0, 1, 0});
    // The placement rule of elements: a half turn about Y carries +Z onto -Z.
    HC_Compute_Offaxis_Rotation(0, 1, 0, -180, m);
    ExpectNear(Apply(m, {0, 0, 1}), {0, 0, -1});
    // HC_Rotate_Object_Offaxis composes the same matrix onto the segment.
    float seg[16], expect[16];
    HC_Open_Segment("/p2");
    HC_Rotate_Object_Offaxis(0.3, -0.5, 0.8, 37);
    HC_Show_Modelling_Matrix(seg);
    HC_Close_Segment();
    HC_Compute_Offaxis_Rotation(0.3, -0.5, 0.8, 37, expect);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(seg[i], expect[i], 1e-6) << i;
}

TEST_F(Transforms, NetMatrixComposesChildThenOwner) {
    HC_Open_Segment("/parent");
    HC_Scale_Object(2, 2, 2);
    HC_Open_Segment("child");
    HC_Translate_Object(1, 0, 0);
    float net[16];
    HC_Show_Net_Modelling_Matrix(net);
    // Child translation first, then the parent's scale.
    ExpectNear(Apply(net, {0, 0, 0}), {2, 0, 0});
    float local[16];
    HC_Show_Modelling_Matrix(local);
    ExpectNear(Apply(local, {0, 0, 0}), {1, 0, 0});
    const float mirror[16] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    HC_Set_Modelling_Matrix(mirror);  // replaces the translation
    HC_Show_Net_Modelling_Matrix(net);
    ExpectNear(Apply(net, {1, 0, 0}), {-2, 0, 0});
    HC_UnSet_Modelling_Matrix();
    HC_Show_Net_Modelling_Matrix(net);
    ExpectNear(Apply(net, {1, 0, 0}), {2, 0, 0});
    HC_Close_Segment();
    // Flushing "everything" removes the matrix too (the scratch-segment pattern).
    HC_Flush_Contents(".", "everything");
    HC_Show_Net_Modelling_Matrix(net);
    ExpectNear(Apply(net, {1, 0, 0}), {1, 0, 0});
    HC_Close_Segment();
    EXPECT_EQ(TakeErrors(), 0u);
}

TEST_F(Transforms, VectorComputations) {
    const float v[] = {3, 0, 4};
    EXPECT_DOUBLE_EQ(HC_Compute_Vector_Length(v), 5.0);
    float n[3];
    EXPECT_TRUE(HC_Compute_Normalized_Vector(v, n));
    ExpectNear({n[0], n[1], n[2]}, {0.6f, 0, 0.8f});
    const float zero[] = {0, 0, 0};
    EXPECT_FALSE(HC_Compute_Normalized_Vector(zero, n));
    const float x[] = {1, 0, 0}, y[] = {0, 1, 0};
    float z[3];
    HC_Compute_Cross_Product(x, y, z);
    ExpectNear({z[0], z[1], z[2]}, {0, 0, 1});
    EXPECT_DOUBLE_EQ(HC_Compute_Dot_Product(v, x), 3.0);

    // Counter-clockwise in XY: right-handed normal +Z, left-handed -Z.
    const float square[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    HC_Compute_Polygon_Normal(4, square, "right", n);
    ExpectNear({n[0], n[1], n[2]}, {0, 0, 1});
    HC_Compute_Polygon_Normal(4, square, "left", n);
    ExpectNear({n[0], n[1], n[2]}, {0, 0, -1});
    // The strong-side rectangle of steel members lies in XZ.
    const float rect[] = {-10, 0, 0, 10, 0, 0, 10, 0, 5, -10, 0, 5};
    HC_Compute_Polygon_Normal(4, rect, "right", n);
    ExpectNear({n[0], n[1], n[2]}, {0, -1, 0});
    HC_Compute_Polygon_Normal(2, rect, "right", n);  // degenerate: zero
    ExpectNear({n[0], n[1], n[2]}, {0, 0, 0});
    HC_Compute_Polygon_Normal(4, square, "up", n);
    EXPECT_EQ(TakeErrors(), 1u);
}

TEST_F(Transforms, MatrixInverseProductAndDeterminant) {
    float r[16], t[16], m[16], inv[16], id[16];
    HC_Compute_Rotation_Matrix(10, 20, 30, r);
    HC_Compute_Translation_Matrix(1, 2, 3, t);
    HC_Compute_Matrix_Product(r, t, m);
    ASSERT_TRUE(HC_Compute_Matrix_Inverse(m, inv));
    HC_Compute_Matrix_Product(m, inv, id);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(id[i], (i % 5 == 0) ? 1 : 0, 1e-5) << i;
    EXPECT_NEAR(HC_Compute_Matrix_Determinant(m), 1.0, 1e-5);
    float s[16];
    HC_Compute_Scale_Matrix(1, 0, 1, s);
    EXPECT_FALSE(HC_Compute_Matrix_Inverse(s, inv));
    EXPECT_EQ(HC_Compute_Matrix_Determinant(s), 0.0);
}

}  // namespace
