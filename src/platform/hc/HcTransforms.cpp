// Modelling transforms and the vector/matrix computations.
#include "platform/hc/AttributeAccess.h"
#include "platform/hc/OptionParser.h"

#include <cmath>
#include <cstring>

using namespace ketra::hc;
using namespace ketra::hc::detail;

namespace {

constexpr double kPi = 3.14159265358979323846;

bool FiniteAll(std::initializer_list<double> v) {
    for (double d : v)
        if (!std::isfinite(d)) return false;
    return true;
}

Matrix FromRows(const double r[16]) {
    Matrix m{};
    for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(r[i]);
    return m;
}

// Row-vector rotation about a unit axis (right-handed, degrees).
Matrix Offaxis(double x, double y, double z, double degrees) {
    const double len = std::sqrt(x * x + y * y + z * z);
    x /= len, y /= len, z /= len;
    const double a = degrees * kPi / 180.0;
    const double c = std::cos(a), s = std::sin(a), t = 1 - c;
    // Column-vector Rodrigues matrix, transposed for row vectors.
    const double r[16] = {c + x * x * t,     x * y * t + z * s, x * z * t - y * s, 0,
                          x * y * t - z * s, c + y * y * t,     y * z * t + x * s, 0,
                          x * z * t + y * s, y * z * t - x * s, c + z * z * t,     0,
                          0,                 0,                 0,                 1};
    return FromRows(r);
}

Matrix RotationXYZ(double theta, double phi, double psi) {
    return Multiply(Multiply(Offaxis(1, 0, 0, theta), Offaxis(0, 1, 0, phi)), Offaxis(0, 0, 1, psi));
}

Matrix Translation(double x, double y, double z) {
    Matrix m = IdentityMatrix();
    m[12] = float(x), m[13] = float(y), m[14] = float(z);
    return m;
}

Matrix Scale(double x, double y, double z) {
    Matrix m = IdentityMatrix();
    m[0] = float(x), m[5] = float(y), m[10] = float(z);
    return m;
}

bool ReadMatrix(const char* fn, const float* in, Matrix& m) {
    if (NullArg(fn, in, "matrix")) return false;
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(in[i])) {
            ReportError(fn, HC_ERR_ARGUMENT, "matrix element " + std::to_string(i) + " is not finite");
            return false;
        }
        m[i] = in[i];
    }
    return true;
}

// new = old x t on the open segment.
void Compose(const char* fn, const Matrix& t) {
    ModifySet(fn, kTargetSegment, [&](AttributeSet& a) {
        a.modellingMatrix = a.modellingMatrix ? Multiply(*a.modellingMatrix, t) : t;
    });
}

void Out(const Matrix& m, float* out) { std::memcpy(out, m.data(), sizeof(float) * 16); }

Vec3 ReadVec(const void* p) {
    Vec3 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

extern "C" {

void HC_Set_Modelling_Matrix(const float* matrix) {
    Matrix m;
    if (!ReadMatrix(__func__, matrix, m)) return;
    ModifySet(__func__, kTargetSegment, [&](AttributeSet& a) { a.modellingMatrix = m; });
}

void HC_Append_Modelling_Matrix(const float* matrix) {
    Matrix m;
    if (!ReadMatrix(__func__, matrix, m)) return;
    Compose(__func__, m);
}

void HC_UnSet_Modelling_Matrix(void) {
    ModifySet(__func__, kTargetSegment, [](AttributeSet& a) { a.modellingMatrix.reset(); });
}

void HC_Show_Modelling_Matrix(float* matrix) {
    const char* fn = __func__;
    if (NullArg(fn, matrix, "output")) return;
    bool ok = false;
    const AttributeSet* a = LocalSet(fn, kTargetSegment, &ok);
    Out(a && a->modellingMatrix ? *a->modellingMatrix : IdentityMatrix(), matrix);
}

void HC_Show_Net_Modelling_Matrix(float* matrix) { HC_PShow_Net_Modelling_Matrix(0, nullptr, matrix); }

void HC_PShow_Net_Modelling_Matrix(int count, const HC_KEY* keys, float* matrix) {
    const char* fn = __func__;
    if (NullArg(fn, matrix, "output")) return;
    Out(IdentityMatrix(), matrix);
    NetAttributes net;
    if (NetOf(fn, count, keys, net)) Out(net.modelling, matrix);
}

void HC_Rotate_Object(double theta, double phi, double psi) {
    if (!FiniteAll({theta, phi, psi})) {
        ReportError(__func__, HC_ERR_ARGUMENT, "angles must be finite");
        return;
    }
    Compose(__func__, RotationXYZ(theta, phi, psi));
}

void HC_Rotate_Object_Offaxis(double x, double y, double z, double degrees) {
    if (!FiniteAll({x, y, z, degrees}) || (x == 0 && y == 0 && z == 0)) {
        ReportError(__func__, HC_ERR_ARGUMENT, "the axis must be finite and non-zero");
        return;
    }
    Compose(__func__, Offaxis(x, y, z, degrees));
}

void HC_Translate_Object(double x, double y, double z) {
    if (!FiniteAll({x, y, z})) {
        ReportError(__func__, HC_ERR_ARGUMENT, "offsets must be finite");
        return;
    }
    Compose(__func__, Translation(x, y, z));
}

void HC_Scale_Object(double x, double y, double z) {
    if (!FiniteAll({x, y, z})) {
        ReportError(__func__, HC_ERR_ARGUMENT, "scale factors must be finite");
        return;
    }
    Compose(__func__, Scale(x, y, z));
}

bool HC_Compute_Normalized_Vector(const void* vector, void* out_vector) {
    const char* fn = __func__;
    if (NullArg(fn, vector, "vector") || NullArg(fn, out_vector, "output")) return false;
    Vec3 v = ReadVec(vector);
    const double len = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    if (!(len > 0) || !std::isfinite(len)) {
        std::memmove(out_vector, vector, sizeof(Vec3));
        return false;
    }
    v = {float(v.x / len), float(v.y / len), float(v.z / len)};
    std::memcpy(out_vector, &v, sizeof v);
    return true;
}

void HC_Compute_Cross_Product(const void* vector1, const void* vector2, void* out_vector) {
    const char* fn = __func__;
    if (NullArg(fn, vector1, "vector1") || NullArg(fn, vector2, "vector2") || NullArg(fn, out_vector, "output"))
        return;
    const Vec3 a = ReadVec(vector1), b = ReadVec(vector2);
    const Vec3 c{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    std::memcpy(out_vector, &c, sizeof c);
}

double HC_Compute_Dot_Product(const void* vector1, const void* vector2) {
    const char* fn = __func__;
    if (NullArg(fn, vector1, "vector1") || NullArg(fn, vector2, "vector2")) return 0;
    const Vec3 a = ReadVec(vector1), b = ReadVec(vector2);
    return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}

double HC_Compute_Vector_Length(const void* vector) {
    if (NullArg(__func__, vector, "vector")) return 0;
    const Vec3 a = ReadVec(vector);
    return std::sqrt(double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z);
}

void HC_Compute_Transformed_Points(int count, const void* points, const float* matrix, void* out_points) {
    const char* fn = __func__;
    if (count < 0) {
        ReportError(fn, HC_ERR_ARGUMENT, "negative point count " + std::to_string(count));
        return;
    }
    if (count == 0) return;
    if (NullArg(fn, points, "points") || NullArg(fn, out_points, "output")) return;
    Matrix m;
    if (!ReadMatrix(fn, matrix, m)) return;
    const auto* in = static_cast<const float*>(points);
    auto* out = static_cast<float*>(out_points);
    for (int i = 0; i < count; ++i) {
        const Vec3 p = TransformPoint({in[3 * i], in[3 * i + 1], in[3 * i + 2]}, m);
        out[3 * i] = p.x, out[3 * i + 1] = p.y, out[3 * i + 2] = p.z;
    }
}

void HC_Compute_Polygon_Normal(int count, const void* points, const char* handedness, void* out_vector) {
    const char* fn = __func__;
    if (NullArg(fn, out_vector, "output")) return;
    const Vec3 zero{};
    std::memcpy(out_vector, &zero, sizeof zero);
    if (count < 0) {
        ReportError(fn, HC_ERR_ARGUMENT, "negative point count " + std::to_string(count));
        return;
    }
    if (NullArg(fn, handedness, "handedness") || (count > 0 && NullArg(fn, points, "points"))) return;
    const std::string h = NormalizeName(handedness);
    if (h != "right" && h != "left") {
        ReportBadOption(fn, "handedness", handedness, "expected \"left\" or \"right\"");
        return;
    }
    // Newell's method: robust for non-planar and concave polygons.
    const auto* p = static_cast<const float*>(points);
    double nx = 0, ny = 0, nz = 0;
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        const double xi = p[3 * i], yi = p[3 * i + 1], zi = p[3 * i + 2];
        const double xj = p[3 * j], yj = p[3 * j + 1], zj = p[3 * j + 2];
        nx += (yi - yj) * (zi + zj);
        ny += (zi - zj) * (xi + xj);
        nz += (xi - xj) * (yi + yj);
    }
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(len > 0) || !std::isfinite(len)) return;  // degenerate: zero vector
    const double sign = h == "left" ? -1.0 : 1.0;
    const Vec3 n{float(sign * nx / len), float(sign * ny / len), float(sign * nz / len)};
    std::memcpy(out_vector, &n, sizeof n);
}

void HC_Compute_Offaxis_Rotation(double x, double y, double z, double degrees, float* matrix) {
    const char* fn = __func__;
    if (NullArg(fn, matrix, "output")) return;
    Out(IdentityMatrix(), matrix);
    if (!FiniteAll({x, y, z, degrees}) || (x == 0 && y == 0 && z == 0)) {
        ReportError(fn, HC_ERR_ARGUMENT, "the axis must be finite and non-zero");
        return;
    }
    Out(Offaxis(x, y, z, degrees), matrix);
}

void HC_Compute_Rotation_Matrix(double theta, double phi, double psi, float* matrix) {
    if (NullArg(__func__, matrix, "output")) return;
    Out(FiniteAll({theta, phi, psi}) ? RotationXYZ(theta, phi, psi) : IdentityMatrix(), matrix);
    if (!FiniteAll({theta, phi, psi})) ReportError(__func__, HC_ERR_ARGUMENT, "angles must be finite");
}

void HC_Compute_Translation_Matrix(double x, double y, double z, float* matrix) {
    if (NullArg(__func__, matrix, "output")) return;
    Out(FiniteAll({x, y, z}) ? Translation(x, y, z) : IdentityMatrix(), matrix);
    if (!FiniteAll({x, y, z})) ReportError(__func__, HC_ERR_ARGUMENT, "offsets must be finite");
}

void HC_Compute_Scale_Matrix(double x, double y, double z, float* matrix) {
    if (NullArg(__func__, matrix, "output")) return;
    Out(FiniteAll({x, y, z}) ? Scale(x, y, z) : IdentityMatrix(), matrix);
    if (!FiniteAll({x, y, z})) ReportError(__func__, HC_ERR_ARGUMENT, "scale factors must be finite");
}

void HC_Compute_Matrix_Product(const float* a, const float* b, float* out) {
    const char* fn = __func__;
    if (NullArg(fn, out, "output")) return;
    Matrix ma, mb;
    if (!ReadMatrix(fn, a, ma) || !ReadMatrix(fn, b, mb)) return;
    Out(Multiply(ma, mb), out);
}

bool HC_Compute_Matrix_Inverse(const float* matrix, float* out) {
    const char* fn = __func__;
    if (NullArg(fn, out, "output")) return false;
    Matrix m, inv;
    if (!ReadMatrix(fn, matrix, m)) return false;
    const bool ok = Invert(m, inv);
    Out(inv, out);
    return ok;
}

double HC_Compute_Matrix_Determinant(const float* matrix) {
    Matrix m;
    if (!ReadMatrix(__func__, matrix, m)) return 0;
    auto d3 = [&](int r0, int r1, int r2, int c0, int c1, int c2) {
        auto e = [&](int r, int c) { return double(m[r * 4 + c]); };
        return e(r0, c0) * (e(r1, c1) * e(r2, c2) - e(r1, c2) * e(r2, c1)) -
               e(r0, c1) * (e(r1, c0) * e(r2, c2) - e(r1, c2) * e(r2, c0)) +
               e(r0, c2) * (e(r1, c0) * e(r2, c1) - e(r1, c1) * e(r2, c0));
    };
    return m[0] * d3(1, 2, 3, 1, 2, 3) - m[1] * d3(1, 2, 3, 0, 2, 3) + m[2] * d3(1, 2, 3, 0, 1, 3) -
           m[3] * d3(1, 2, 3, 0, 1, 2);
}

}  // extern "C"
