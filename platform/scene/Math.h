// Vectors and matrices of the 3-D scene: single-precision, metres, the
// world's y axis up and the camera looking along its own negative z axis.
// Matrices are column-major: columns[3] is the translation.
#pragma once

#include <array>
#include <cmath>

namespace scene {

struct Vector3 {
    float x = 0, y = 0, z = 0;
    friend bool operator==(const Vector3&, const Vector3&) = default;
};

// A rotation as an axis (x, y, z) and an angle w in radians.
struct Vector4 {
    float x = 0, y = 0, z = 0, w = 0;
    friend bool operator==(const Vector4&, const Vector4&) = default;
};

struct Matrix4 {
    // columns[c][r]: column c, row r.
    std::array<std::array<float, 4>, 4> columns{
        {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

    static Matrix4 identity() { return {}; }
    // Sixteen values in column-major order.
    static Matrix4 fromColumnMajor(const std::array<float, 16>& values);
    static Matrix4 translation(Vector3 offset);
    // The rotation about `axis` (need not be unit length) by `angle` radians.
    static Matrix4 rotation(Vector4 axisAngle);

    float operator()(int row, int column) const { return columns[column][row]; }
    friend bool operator==(const Matrix4&, const Matrix4&) = default;
};

Matrix4 operator*(const Matrix4& a, const Matrix4& b);
std::array<float, 4> operator*(const Matrix4& m, const std::array<float, 4>& v);
Vector3 transformPoint(const Matrix4& m, Vector3 point);
// The inverse of a rigid transform (rotation and translation only).
Matrix4 rigidInverse(const Matrix4& m);
// The axis-angle rotation of the upper 3 × 3 of a rigid transform; the angle
// lies in [0, π] and the identity gives (0, 0, 0, 0).
Vector4 axisAngleOf(const Matrix4& m);

inline Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator*(Vector3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 cross(Vector3 a, Vector3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(Vector3 a) { return std::sqrt(dot(a, a)); }

}  // namespace scene
