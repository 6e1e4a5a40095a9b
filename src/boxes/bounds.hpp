// Axis-aligned boxes: the grown face boxes of the face index, the boxes of
// aperture faces and of whole meshes, and the keys they are indexed by.
#pragma once

#include <cmath>
#include <limits>

#include "geometry/vector.hpp"

namespace velmarin {

struct Bounds {
    static constexpr double largest = std::numeric_limits<double>::max();

    // The one convention for an empty box, 3D or 2D (Rectangle2D follows
    // it): inside out at the largest finite values, so that the first point
    // added becomes both corners, and a face without vertices keeps a box
    // spanning nearly all of space once grown.
    Vector3D lower{largest, largest, largest};
    Vector3D upper{-largest, -largest, -largest};

    // NaN coordinates take no part, as in fmin and fmax (whose library calls
    // cost more than the comparisons on this hot path). `widen` is how every
    // box takes a point.
    void add(const Vector3D& p) {
        widen(lower.x, upper.x, p.x);
        widen(lower.y, upper.y, p.y);
        widen(lower.z, upper.z, p.z);
    }

    // Each side moved out by `margin`, then each axis put in order again, so
    // that a negative margin still gives a proper box.
    Bounds grown(double margin) const {
        Bounds out;
        auto axis = [margin](double lo, double hi, double& out_lo, double& out_hi) {
            lo -= margin;
            hi += margin;
            out_lo = least(lo, hi);
            out_hi = greatest(lo, hi);
        };
        axis(lower.x, upper.x, out.lower.x, out.upper.x);
        axis(lower.y, upper.y, out.lower.y, out.upper.y);
        axis(lower.z, upper.z, out.lower.z, out.upper.z);
        return out;
    }

    // The box swept along `offset`: it holds every point of the box moved by
    // any fraction of `offset` from 0 to 1.
    Bounds swept(const Vector3D& offset) const {
        Bounds out = *this;
        auto axis = [](double& lo, double& hi, double by) { (by < 0.0 ? lo : hi) += by; };
        axis(out.lower.x, out.upper.x, offset.x);
        axis(out.lower.y, out.upper.y, offset.y);
        axis(out.lower.z, out.upper.z, offset.z);
        return out;
    }

    // std::fmin and std::fmax by comparisons, to the bit: a NaN operand
    // gives the other, and of two equal operands (such as -0.0 and +0.0)
    // the second.
    static double least(double a, double b) { return std::isnan(b) ? a : (a < b ? a : b); }
    static double greatest(double a, double b) { return std::isnan(b) ? a : (a > b ? a : b); }

    static void widen(double& low, double& high, double v) {
        if (v < low) low = v;
        if (v > high) high = v;
    }

    // Closed boxes: sharing a face, an edge or a corner counts, as in the box index.
    bool intersects(const Bounds& o) const {
        return lower.x <= o.upper.x && o.lower.x <= upper.x && lower.y <= o.upper.y && o.lower.y <= upper.y &&
               lower.z <= o.upper.z && o.lower.z <= upper.z;
    }

    // The smallest box that holds both.
    void add(const Bounds& o) {
        add(o.lower);
        add(o.upper);
    }

    bool is_finite() const {
        return std::isfinite(lower.x) && std::isfinite(lower.y) && std::isfinite(lower.z) && std::isfinite(upper.x) &&
               std::isfinite(upper.y) && std::isfinite(upper.z);
    }

    // The largest absolute coordinate: the scale that rounding errors grow with.
    double magnitude() const {
        return std::fmax(std::fmax(std::fmax(std::fabs(lower.x), std::fabs(lower.y)), std::fabs(lower.z)),
                         std::fmax(std::fmax(std::fabs(upper.x), std::fabs(upper.y)), std::fabs(upper.z)));
    }
};

}  // namespace velmarin
