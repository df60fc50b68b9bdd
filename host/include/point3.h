// A three-component vector of 32-bit floats.
#pragma once

#include <cmath>

#include "maxheap.h"

class Point3 : public MaxHeapOperators {
public:
    float x, y, z;

    constexpr Point3() : x(0.0f), y(0.0f), z(0.0f) {}
    constexpr Point3(float px, float py, float pz) : x(px), y(py), z(pz) {}
    constexpr Point3(double px, double py, double pz)
        : x(static_cast<float>(px)), y(static_cast<float>(py)), z(static_cast<float>(pz)) {}
    constexpr Point3(int px, int py, int pz)
        : x(static_cast<float>(px)), y(static_cast<float>(py)), z(static_cast<float>(pz)) {}

    static const Point3 Origin;
    static const Point3 XAxis;
    static const Point3 YAxis;
    static const Point3 ZAxis;

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    Point3& Set(float px, float py, float pz) {
        x = px;
        y = py;
        z = pz;
        return *this;
    }

    /// Euclidean length (single precision).
    float Length() const { return std::sqrt(LengthSquared()); }
    constexpr float LengthSquared() const { return x * x + y * y + z * z; }
    /// The unit vector in this direction; the zero vector stays zero.
    Point3 Normalize() const {
        const float length = Length();
        return length > 0.0f ? Point3(x / length, y / length, z / length) : Point3();
    }
    /// Makes this vector unit length in place (the zero vector stays zero).
    void Unify() { *this = Normalize(); }

    constexpr Point3 operator-() const { return {-x, -y, -z}; }
    constexpr Point3 operator+(const Point3& p) const { return {x + p.x, y + p.y, z + p.z}; }
    constexpr Point3 operator-(const Point3& p) const { return {x - p.x, y - p.y, z - p.z}; }
    /// Component-wise product.
    constexpr Point3 operator*(const Point3& p) const { return {x * p.x, y * p.y, z * p.z}; }
    constexpr Point3 operator*(float f) const { return {x * f, y * f, z * f}; }
    constexpr Point3 operator/(float f) const { return {x / f, y / f, z / f}; }
    /// Dot product: (x·x' + y·y') + z·z'.
    constexpr float operator%(const Point3& p) const { return x * p.x + y * p.y + z * p.z; }
    /// Cross product.
    constexpr Point3 operator^(const Point3& p) const {
        return {y * p.z - z * p.y, z * p.x - x * p.z, x * p.y - y * p.x};
    }
    Point3& operator+=(const Point3& p) { return *this = *this + p; }
    Point3& operator-=(const Point3& p) { return *this = *this - p; }
    Point3& operator*=(float f) { return *this = *this * f; }
    Point3& operator/=(float f) { return *this = *this / f; }
    constexpr bool operator==(const Point3& p) const { return x == p.x && y == p.y && z == p.z; }
    constexpr bool operator!=(const Point3& p) const { return !(*this == p); }
};

inline constexpr Point3 Point3::Origin{0.0f, 0.0f, 0.0f};
inline constexpr Point3 Point3::XAxis{1.0f, 0.0f, 0.0f};
inline constexpr Point3 Point3::YAxis{0.0f, 1.0f, 0.0f};
inline constexpr Point3 Point3::ZAxis{0.0f, 0.0f, 1.0f};

constexpr Point3 operator*(float f, const Point3& p) { return p * f; }
inline float Length(const Point3& p) { return p.Length(); }
inline Point3 Normalize(const Point3& p) { return p.Normalize(); }
constexpr float DotProd(const Point3& a, const Point3& b) { return a % b; }
constexpr Point3 CrossProd(const Point3& a, const Point3& b) { return a ^ b; }
