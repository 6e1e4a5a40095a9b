"""Buildings for the graph-build tests: box rooms on an integer grid, aperture
rectangles and columns, and the graph they must give, worked out here with
plain rectangle arithmetic, independently of velmarin (for axis-aligned boxes
on a half-integer grid every figure is exact)."""

import math
from dataclasses import dataclass, field

# The six faces of a box from its corners 0..7 (bottom 0-3, top 4-7), each
# with the axis it is perpendicular to and the side of the box it lies on.
BOX_FACES = [[0, 3, 2, 1], [4, 5, 6, 7], [0, 1, 5, 4], [1, 2, 6, 5], [2, 3, 7, 6], [3, 0, 4, 7]]
BOX_FACE_SIDES = [(2, 0), (2, 1), (1, 0), (0, 1), (1, 1), (0, 0)]


def box_points(lo, hi):
    (x0, y0, z0), (x1, y1, z1) = lo, hi
    return [
        (x0, y0, z0),
        (x1, y0, z0),
        (x1, y1, z0),
        (x0, y1, z0),
        (x0, y0, z1),
        (x1, y0, z1),
        (x1, y1, z1),
        (x0, y1, z1),
    ]


def box(lo, hi):
    """A box room as its points and faces, from its lowest and highest corners."""
    return box_points(lo, hi), [list(f) for f in BOX_FACES]


@dataclass
class Room:
    lo: tuple
    hi: tuple

    def points(self):
        return box_points(self.lo, self.hi)

    def faces(self):
        return [list(f) for f in BOX_FACES]

    def holds(self, p):
        """The ray rule for a point off every edge: a point on a wall or floor
        belongs to the box above it or on its +x / +y side."""
        return all(self.lo[k] <= p[k] < self.hi[k] for k in range(3))


@dataclass
class Opening:
    """A rectangle in the plane `axis` = `at`: an aperture mesh of one face;
    with a `depth`, a box from `at` - depth / 2 to `at` + depth / 2 that spans
    a wall of that thickness, with a face on either surface."""

    axis: int
    at: float
    lo: tuple  # in the two other axes, in axis order
    hi: tuple
    depth: float = 0.0

    def _lift(self, u, v, at):
        a, b = [k for k in range(3) if k != self.axis]
        p = [0.0] * 3
        p[self.axis], p[a], p[b] = at, u, v
        return tuple(p)

    def points(self):
        if self.depth:
            lo, hi = self._lift(*self.lo, self.at - self.depth / 2), self._lift(*self.hi, self.at + self.depth / 2)
            return box_points(lo, hi)
        return [
            self._lift(u, v, self.at)
            for u, v in [
                (self.lo[0], self.lo[1]),
                (self.hi[0], self.lo[1]),
                (self.hi[0], self.hi[1]),
                (self.lo[0], self.hi[1]),
            ]
        ]

    def faces(self):
        return [list(f) for f in BOX_FACES] if self.depth else [[0, 1, 2, 3]]


@dataclass
class Column:
    start: tuple
    end: tuple

    def midpoint(self):
        return tuple((s + e) * 0.5 for s, e in zip(self.start, self.end))


@dataclass
class Building:
    rooms: list = field(default_factory=list)
    openings: list = field(default_factory=list)
    columns: list = field(default_factory=list)


# --- the expected graph ---------------------------------------------------------


def _region(rect, holes):
    """Area and centroid of a rectangle less a union of rectangles, cell by cell."""
    (x0, y0), (x1, y1) = rect
    xs = sorted({x0, x1} | {min(max(h[0][0], x0), x1) for h in holes} | {min(max(h[1][0], x0), x1) for h in holes})
    ys = sorted({y0, y1} | {min(max(h[0][1], y0), y1) for h in holes} | {min(max(h[1][1], y0), y1) for h in holes})
    area = mx = my = 0.0
    for xa, xb in zip(xs, xs[1:]):
        for ya, yb in zip(ys, ys[1:]):
            cx, cy = (xa + xb) / 2, (ya + yb) / 2
            if any(h[0][0] < cx < h[1][0] and h[0][1] < cy < h[1][1] for h in holes):
                continue
            a = (xb - xa) * (yb - ya)
            area, mx, my = area + a, mx + a * cx, my + a * cy
    return area, (mx / area, my / area) if area > 0 else (math.nan, math.nan)


def _face_rect(room, axis):
    others = [k for k in range(3) if k != axis]
    return (room.lo[others[0]], room.lo[others[1]]), (room.hi[others[0]], room.hi[others[1]])


def _overlap(r, s):
    lo = (max(r[0][0], s[0][0]), max(r[0][1], s[0][1]))
    hi = (min(r[1][0], s[1][0]), min(r[1][1], s[1][1]))
    return (lo, hi) if lo[0] < hi[0] and lo[1] < hi[1] else None


def expected_contacts(building, tolerance):
    """For each room a, for each of its faces in order, the contacts with rooms
    b > a: (b, area, centroid, type)."""
    rooms, per_room = building.rooms, []
    for a, room in enumerate(rooms):
        per_face = []
        for axis, side in BOX_FACE_SIDES:
            at = room.hi[axis] if side else room.lo[axis]
            holes = [(o.lo, o.hi) for o in building.openings if o.axis == axis and abs(o.at - at) < tolerance]
            found = []
            for b in range(a + 1, len(rooms)):
                other = rooms[b]
                for other_axis, other_side in BOX_FACE_SIDES:
                    other_at = other.hi[other_axis] if other_side else other.lo[other_axis]
                    if other_axis != axis or other_at != at:
                        continue
                    rect = _overlap(_face_rect(room, axis), _face_rect(other, axis))
                    if rect is None:
                        continue
                    area, (u, v) = _region(rect, holes)
                    if area <= tolerance:
                        continue
                    centroid = [0.0] * 3
                    centroid[axis] = at
                    others = [k for k in range(3) if k != axis]
                    centroid[others[0]], centroid[others[1]] = u, v
                    kind = "HorizontalSlabContact" if axis == 2 else "VerticalWallContact"
                    found.append((b, area, tuple(centroid), kind))
            per_face.append(found)
        per_room.append(per_face)
    return per_room


def expected_wire_contacts(building):
    return [
        (w, m)
        for w, column in enumerate(building.columns)
        for m, room in enumerate(building.rooms)
        if room.holds(column.midpoint())
    ]


# --- random buildings -------------------------------------------------------------


def _split(rng, lo, hi, pieces):
    """A guillotine partition of an integer rectangle into about `pieces` rooms."""
    rects = [(lo, hi)]
    for _ in range(pieces - 1):
        rects.sort(key=lambda r: (r[1][0] - r[0][0]) * (r[1][1] - r[0][1]))
        (x0, y0), (x1, y1) = rect = rects.pop()
        if x1 - x0 >= y1 - y0 and x1 - x0 > 1:
            cut = rng.randint(x0 + 1, x1 - 1)
            rects += [((x0, y0), (cut, y1)), ((cut, y0), (x1, y1))]
        elif y1 - y0 > 1:
            cut = rng.randint(y0 + 1, y1 - 1)
            rects += [((x0, y0), (x1, cut)), ((x0, cut), (x1, y1))]
        else:
            rects.append(rect)
            break
    rng.shuffle(rects)
    return rects


def random_building(
    rng,
    width=6,
    depth=5,
    storeys=3,
    rooms_per_storey=6,
    openings=8,
    columns=12,
    tolerance=0.01,
    wall=0.0,
    shafts=0,
    overlaps=True,
    void=0.0,
):
    """Rooms that fill storeys; with a `wall` thickness, each room shrunk by
    half of it on every side (walls and slabs between them), the openings
    boxes that span the walls, and `shafts` thin boxes standing in the walls
    and slabs between rooms. `overlaps`: sometimes a twin of a room and a room
    that overlaps others. `void`: every room's ceiling lowered by that much,
    a void above it under the slab."""
    b = Building()
    z = 0
    for _ in range(storeys):
        height = rng.choice([1, 2])
        for (x0, y0), (x1, y1) in _split(rng, (0, 0), (width, depth), rooms_per_storey):
            b.rooms.append(Room((x0, y0, z), (x1, y1, z + height)))
        z += height
    if overlaps and rng.random() < 0.5:  # a twin of some room, and a room overlapping others
        b.rooms.insert(rng.randrange(len(b.rooms) + 1), Room(*_copy(rng.choice(b.rooms))))
        b.rooms.append(Room((1, 1, 0), (3, 2, 1)))
    extent = (width, depth, z)
    for _ in range(openings):
        axis = rng.randrange(3)
        lo, hi = _random_rectangle(rng, extent, axis)
        # Mostly in a wall or floor plane; some just off it, within and beyond the tolerance.
        at = rng.randint(0, extent[axis]) + rng.choice([0, 0, 0, 0.4 * tolerance, 2 * tolerance])
        b.openings.append(Opening(axis, at, lo, hi, wall))
    if wall:
        b.rooms = [Room(tuple(c + wall / 2 for c in r.lo), tuple(c - wall / 2 for c in r.hi)) for r in b.rooms]
    b.rooms = [Room(r.lo, (r.hi[0], r.hi[1], r.hi[2] - void)) for r in b.rooms]
    for _ in range(shafts):
        axis = rng.randrange(3)
        lo, hi = _random_rectangle(rng, extent, axis)
        shaft = Opening(axis, rng.randint(1, extent[axis] - 1), lo, hi, wall / 2)
        points = shaft.points()
        b.rooms.insert(rng.randrange(len(b.rooms) + 1), Room(points[0], points[6]))
    for _ in range(columns):
        x = rng.randrange(width) + rng.uniform(0.05, 0.95)
        y = rng.randrange(depth) + rng.uniform(0.05, 0.95)
        mid_z = rng.choice([rng.randint(0, z), rng.uniform(-0.5, z + 0.5)])
        half = rng.choice([0.5, 0.25, 2.0])
        b.columns.append(Column((x, y, mid_z - half), (x, y, mid_z + half)))
    return b


def _random_rectangle(rng, extent, axis):
    """Corners on the half grid, in the two axes other than `axis`."""
    others = [k for k in range(3) if k != axis]
    lo = tuple(rng.randrange(0, 2 * extent[k]) / 2 for k in others)
    return lo, tuple(v + rng.randint(1, 3) / 2 for v in lo)


def _copy(room):
    return tuple(room.lo), tuple(room.hi)


def as_plain(building):
    """(meshes, wires, apertures) as the graph_rows helpers take them."""
    return (
        [(r.points(), r.faces()) for r in building.rooms],
        [(c.start, c.end) for c in building.columns],
        [(o.points(), o.faces()) for o in building.openings],
    )


def awkward_apertures(rng, tolerance):
    """Aperture faces the index must not miss: tilted within the angle the plane
    test allows (far from the origin, where the tilt moves them the most), bent
    out of their own plane, and huge."""
    out = []
    for _ in range(6):
        axis = rng.randrange(3)
        at = rng.randint(0, 5)
        tilt = rng.uniform(-1, 1) * math.sqrt(tolerance) * 0.9
        u0, v0 = rng.uniform(-1, 6), rng.uniform(-1, 6)
        corners = [(u0, v0), (u0 + 2, v0), (u0 + 2, v0 + 1.5), (u0, v0 + 1.5)]
        points = []
        for k, (u, v) in enumerate(corners):
            p = [0.0] * 3
            a, b = [i for i in range(3) if i != axis]
            p[axis] = at + tilt * (u - u0)
            p[a], p[b] = u, v
            if k == 2 and rng.random() < 0.3:
                p[axis] += 0.3  # bent
            points.append(tuple(p))
        out.append((points, [[0, 1, 2, 3]]))
    out.append(([(3, -100, -100), (3, 100, -100), (3, 100, 100), (3, -100, 100)], [[0, 1, 2, 3]]))
    return out


def subdivided(points, faces, n):
    """The same room with every quad face cut into n x n quads."""
    out_points, out_faces = [], []
    for a, b, _c, d in ([points[k] for k in face] for face in faces):

        def at(u, v):
            return tuple(a[i] + (b[i] - a[i]) * u / n + (d[i] - a[i]) * v / n for i in range(3))

        base = len(out_points)
        out_points += [at(u, v) for v in range(n + 1) for u in range(n + 1)]
        out_faces += [
            [
                base + v * (n + 1) + u,
                base + v * (n + 1) + u + 1,
                base + (v + 1) * (n + 1) + u + 1,
                base + (v + 1) * (n + 1) + u,
            ]
            for v in range(n)
            for u in range(n)
        ]
    return out_points, out_faces
