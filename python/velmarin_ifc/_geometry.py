"""The few shape measures the reading and the walking share: which faces face up, points, bounds, normals."""

from __future__ import annotations

import math
from collections.abc import Sequence

from velmarin import Vector3D

# A face faces up when its unit normal's z exceeds this: the line at which the
# graph build tells a slab contact (steeper normals) from a wall contact.
FACING_UP = 0.707

Point = tuple[float, float, float]
Normal = tuple[float, float, float]


def bounds(points: Sequence[Vector3D]) -> tuple[Point, Point]:
    """The lowest and highest coordinates of some points."""
    xs, ys, zs = [p.x for p in points], [p.y for p in points], [p.z for p in points]
    return (min(xs), min(ys), min(zs)), (max(xs), max(ys), max(zs))


def face_normal(polygon: Sequence[Vector3D]) -> Normal | None:
    """A polygon's unit normal (Newell's sums: towards the side from which it
    runs counter-clockwise), None for a polygon without area."""
    nx = ny = nz = 0.0
    for a, b in zip(polygon, [*polygon[1:], polygon[0]]):
        nx += (a.y - b.y) * (a.z + b.z)
        ny += (a.z - b.z) * (a.x + b.x)
        nz += (a.x - b.x) * (a.y + b.y)
    length = math.sqrt(nx * nx + ny * ny + nz * nz)
    if length == 0.0 or not math.isfinite(length):
        return None
    return nx / length, ny / length, nz / length
