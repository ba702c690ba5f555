#include "platform/scene/Math.h"

#include <algorithm>
#include <numbers>

namespace scene {

Matrix4 Matrix4::fromColumnMajor(const std::array<float, 16>& values) {
    Matrix4 m;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) m.columns[c][r] = values[static_cast<std::size_t>(c * 4 + r)];
    return m;
}

Matrix4 Matrix4::translation(Vector3 offset) {
    Matrix4 m;
    m.columns[3] = {offset.x, offset.y, offset.z, 1};
    return m;
}

Matrix4 Matrix4::rotation(Vector4 axisAngle) {
    Matrix4 m;
    double ax = axisAngle.x, ay = axisAngle.y, az = axisAngle.z;
    double len = std::sqrt(ax * ax + ay * ay + az * az);
    if (len == 0 || axisAngle.w == 0 || !std::isfinite(len)) return m;
    ax /= len;
    ay /= len;
    az /= len;
    double c = std::cos(axisAngle.w), s = std::sin(axisAngle.w), t = 1 - c;
    auto f = [](double v) { return static_cast<float>(v); };
    m.columns[0] = {f(t * ax * ax + c), f(t * ax * ay + s * az), f(t * ax * az - s * ay), 0};
    m.columns[1] = {f(t * ax * ay - s * az), f(t * ay * ay + c), f(t * ay * az + s * ax), 0};
    m.columns[2] = {f(t * ax * az + s * ay), f(t * ay * az - s * ax), f(t * az * az + c), 0};
    return m;
}

Matrix4 operator*(const Matrix4& a, const Matrix4& b) {
    Matrix4 m;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.columns[k][r] * b.columns[c][k];
            m.columns[c][r] = sum;
        }
    return m;
}

std::array<float, 4> operator*(const Matrix4& m, const std::array<float, 4>& v) {
    std::array<float, 4> out{};
    for (int r = 0; r < 4; ++r)
        out[r] = m.columns[0][r] * v[0] + m.columns[1][r] * v[1] + m.columns[2][r] * v[2] +
                 m.columns[3][r] * v[3];
    return out;
}

Vector3 transformPoint(const Matrix4& m, Vector3 p) {
    auto v = m * std::array<float, 4>{p.x, p.y, p.z, 1};
    return {v[0], v[1], v[2]};
}

Matrix4 rigidInverse(const Matrix4& m) {
    Matrix4 inv;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) inv.columns[c][r] = m.columns[r][c];
    Vector3 t{m.columns[3][0], m.columns[3][1], m.columns[3][2]};
    for (int r = 0; r < 3; ++r)
        inv.columns[3][r] =
            -(inv.columns[0][r] * t.x + inv.columns[1][r] * t.y + inv.columns[2][r] * t.z);
    return inv;
}

Vector4 axisAngleOf(const Matrix4& m) {
    // Through the quaternion, which stays accurate near 0 and π.
    double m00 = m(0, 0), m11 = m(1, 1), m22 = m(2, 2);
    double trace = m00 + m11 + m22;
    double qw, qx, qy, qz;
    if (trace > 0) {
        double s = std::sqrt(trace + 1.0) * 2;
        qw = 0.25 * s;
        qx = (m(2, 1) - m(1, 2)) / s;
        qy = (m(0, 2) - m(2, 0)) / s;
        qz = (m(1, 0) - m(0, 1)) / s;
    } else if (m00 > m11 && m00 > m22) {
        double s = std::sqrt(1.0 + m00 - m11 - m22) * 2;
        qw = (m(2, 1) - m(1, 2)) / s;
        qx = 0.25 * s;
        qy = (m(0, 1) + m(1, 0)) / s;
        qz = (m(0, 2) + m(2, 0)) / s;
    } else if (m11 > m22) {
        double s = std::sqrt(1.0 + m11 - m00 - m22) * 2;
        qw = (m(0, 2) - m(2, 0)) / s;
        qx = (m(0, 1) + m(1, 0)) / s;
        qy = 0.25 * s;
        qz = (m(1, 2) + m(2, 1)) / s;
    } else {
        double s = std::sqrt(1.0 + m22 - m00 - m11) * 2;
        qw = (m(1, 0) - m(0, 1)) / s;
        qx = (m(0, 2) + m(2, 0)) / s;
        qy = (m(1, 2) + m(2, 1)) / s;
        qz = 0.25 * s;
    }
    if (qw < 0) {
        qw = -qw;
        qx = -qx;
        qy = -qy;
        qz = -qz;
    }
    double sinHalf = std::sqrt(qx * qx + qy * qy + qz * qz);
    if (sinHalf < 1e-9) return {0, 0, 0, 0};
    double angle = 2 * std::atan2(sinHalf, std::clamp(qw, -1.0, 1.0));
    return {static_cast<float>(qx / sinHalf), static_cast<float>(qy / sinHalf),
            static_cast<float>(qz / sinHalf), static_cast<float>(angle)};
}

}  // namespace scene
