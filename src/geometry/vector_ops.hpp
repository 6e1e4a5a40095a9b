// The few vector formulas the registry's geometry shares, each evaluated in
// the written component order so that every caller gets the same bits.
#pragma once

#include <cmath>

#include "geometry/vector.hpp"

namespace velmarin {

inline Vector3D minus(const Vector3D& a, const Vector3D& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

inline double dot(const Vector3D& a, const Vector3D& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Vector3D cross(const Vector3D& a, const Vector3D& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double length(const Vector3D& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

inline Vector3D divided(const Vector3D& a, double d) { return {a.x / d, a.y / d, a.z / d}; }

inline bool is_finite(const Vector3D& a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }

}  // namespace velmarin
