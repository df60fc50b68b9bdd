// A 4x3 affine transform: three axis rows and a translation row. Points are
// row vectors transformed as p * M.
#pragma once

#include "maxheap.h"
#include "point3.h"

class Matrix3 : public MaxHeapOperators {
public:
    /// The identity transform.
    Matrix3() { IdentityMatrix(); }
    /// The identity when `init` is non-zero, otherwise all zeros.
    explicit Matrix3(int init) {
        if (init) {
            IdentityMatrix();
        } else {
            Zero();
        }
    }
    Matrix3(const Point3& row0, const Point3& row1, const Point3& row2, const Point3& row3)
        : rows_{row0, row1, row2, row3} {}

    /// Resets this to the identity transform.
    void IdentityMatrix() {
        rows_[0] = Point3::XAxis;
        rows_[1] = Point3::YAxis;
        rows_[2] = Point3::ZAxis;
        rows_[3] = Point3::Origin;
    }
    /// Sets every element to zero.
    void Zero() {
        for (Point3& row : rows_) row = Point3::Origin;
    }
    bool IsIdentity() const { return *this == Matrix3(); }

    Point3 GetRow(int i) const { return rows_[i]; }
    void SetRow(int i, const Point3& row) { rows_[i] = row; }
    Point3 GetTrans() const { return rows_[3]; }
    void SetTrans(const Point3& t) { rows_[3] = t; }
    /// Adds `t` to the translation.
    void Translate(const Point3& t) { rows_[3] += t; }
    /// Scales the axes (and, when `trans` is set, the translation) component-wise.
    void Scale(const Point3& s, bool trans = false) {
        for (int i = 0; i < 3; ++i) rows_[i] = rows_[i] * s;
        if (trans) rows_[3] = rows_[3] * s;
    }

    /// Transforms a point (rotation, scale and translation).
    Point3 PointTransform(const Point3& p) const {
        return rows_[0] * p.x + rows_[1] * p.y + rows_[2] * p.z + rows_[3];
    }
    /// Transforms a direction (no translation).
    Point3 VectorTransform(const Point3& v) const {
        return rows_[0] * v.x + rows_[1] * v.y + rows_[2] * v.z;
    }

    /// Composition: applying the result is applying this, then `m`.
    Matrix3 operator*(const Matrix3& m) const {
        return Matrix3(m.VectorTransform(rows_[0]), m.VectorTransform(rows_[1]),
                       m.VectorTransform(rows_[2]), m.PointTransform(rows_[3]));
    }
    Matrix3& operator*=(const Matrix3& m) { return *this = *this * m; }
    bool operator==(const Matrix3& m) const {
        for (int i = 0; i < 4; ++i) {
            if (rows_[i] != m.rows_[i]) return false;
        }
        return true;
    }
    bool operator!=(const Matrix3& m) const { return !(*this == m); }

private:
    Point3 rows_[4];
};

inline Point3 operator*(const Point3& p, const Matrix3& m) { return m.PointTransform(p); }
inline Point3 VectorTransform(const Matrix3& m, const Point3& v) { return m.VectorTransform(v); }
