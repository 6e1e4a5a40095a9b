// The bounding rectangle of 2D points in a plane frame, and whether all of
// them were finite (when one is not, no conclusion may be drawn from it).
#pragma once

#include <cmath>

#include "boxes/bounds.hpp"
#include "planar/overlay.hpp"

namespace velmarin {

// Empty, it is inside out as an empty Bounds is.
struct Rectangle2D {
    double min_x = Bounds::largest;
    double min_y = Bounds::largest;
    double max_x = -Bounds::largest;
    double max_y = -Bounds::largest;
    bool finite = true;

    void add(const Point2D& p) {
        finite = finite && std::isfinite(p.x) && std::isfinite(p.y);
        Bounds::widen(min_x, max_x, p.x);
        Bounds::widen(min_y, max_y, p.y);
    }

    void add(const Ring& ring) {
        for (const Point2D& p : ring) add(p);
    }

    // Whether the two rectangles at most touch: then no region inside the one
    // overlaps a region inside the other by any area. Nothing is concluded
    // from a point that is not finite.
    bool apart_from(const Rectangle2D& o) const {
        if (!finite || !o.finite) return false;
        return max_x <= o.min_x || o.max_x <= min_x || max_y <= o.min_y || o.max_y <= min_y;
    }
};

// Holes lie inside their exteriors, so the exteriors suffice.
inline Rectangle2D rectangle_of(const MultiPolygon2D& region) {
    Rectangle2D r;
    for (const Polygon2D& polygon : region) r.add(polygon.exterior);
    return r;
}

inline Rectangle2D rectangle_of(const Polygon2D& polygon) {
    Rectangle2D r;
    r.add(polygon.exterior);
    return r;
}

}  // namespace velmarin
