"""Synthetic buildings for benchmarks, tests and examples.

``generate_building(rooms, seed)`` lays out exactly ``rooms`` box rooms and
returns a :class:`Building` of plain data (tuples and lists, no velmarin
objects), so that the pure-Python reference build can read it without the
module; ``Building.velmarin_lists()`` and ``Building.registry()`` turn it into
the module's objects.

Layout. The building is a stack of storeys of height ``STOREY_HEIGHT``. Every
storey is a grid of rows along y; each row is cut along x into rooms of varied
widths, drawn anew for every row and every storey, and every full row spans the
same length. So a wall between two rows touches several rooms on the other
side, and a floor touches several rooms of the storey below. The last storey
(and its last row) may be partial, to give the exact room count. All
coordinates are multiples of 0.25, exact in binary floating point, so that
faces of neighbours are exactly coplanar.

Cells. Each room is a closed ``Mesh`` of eight corners and six quads, each
quad wound counter-clockwise seen from outside (outward normals).

Walls. With ``wall_thickness`` above zero, every room is shrunk by half of
it on every side, so that walls and slabs of that thickness stand between
neighbours (and outer walls of half of it at the outline), and columns run
from floor to ceiling of the shrunk room. The layout and every random draw
are those of the building without gaps, which ``wall_thickness=0`` (the
default) gives exactly.

Apertures. Each is a single quad lying exactly in a wall plane (a mesh of four
vertices and one face), so the build cuts it out of the contact in that plane;
with walls, a box as thick as the walls, centred on the wall's middle plane,
so that it spans the wall with a face on either surface:
- a door (``DOOR_WIDTH`` x ``DOOR_HEIGHT``, standing on the room's floor) centred in
  the part shared by two rooms of one storey, when that part is wide enough,
  with probability ``door_ratio`` per shared wall part (1.0: a door in every
  inner wall that can hold one);
- a window (``WINDOW_WIDTH`` x ``WINDOW_HEIGHT``) centred in an outer wall,
  with probability ``window_ratio`` per outer wall.

Wires. With probability ``column_ratio`` per room, one vertical column from
floor to ceiling at a point strictly inside the room, off the grid, so that
its midpoint is inside exactly that room.

Everything is drawn from ``random.Random(seed)``: the same arguments give the
same building. Generating 100,000 rooms (and some 230,000 doors) takes one
to two seconds in plain Python, making the velmarin objects about half that.
"""

from __future__ import annotations

import gc
import math
import random
from collections.abc import Sequence
from contextlib import contextmanager
from dataclasses import dataclass, field

Point = tuple[float, float, float]
PlainMesh = tuple[list[Point], list[list[int]]]
PlainWire = tuple[Point, Point]

STOREY_HEIGHT = 3.0
UNIT = 0.5  # widths and depths are whole numbers of this
ROOM_WIDTH_UNITS = (6, 10)  # 3.0 m to 5.0 m
ROW_DEPTH_UNITS = (8, 14)  # 4.0 m to 7.0 m
DOOR_WIDTH = 1.0
DOOR_HEIGHT = 2.0
DOOR_MARGIN = 0.25  # wall left on each side of a door
WINDOW_WIDTH = 1.5
WINDOW_HEIGHT = 1.5
WINDOW_SILL = 1.0
COLUMN_SPOT = (0.375, 0.625)  # fractions of width and depth, off the room's axes

# Corner k of a box is (x0 or x1, y0 or y1, z0 or z1) chosen by bits 0, 1, 2
# of k. Each quad is wound counter-clockwise seen from outside.
BOX_FACES = (
    [0, 2, 3, 1],  # floor, -z
    [4, 5, 7, 6],  # ceiling, +z
    [0, 1, 5, 4],  # -y
    [2, 6, 7, 3],  # +y
    [0, 4, 6, 2],  # -x
    [1, 3, 7, 5],  # +x
)


@dataclass
class Building:
    """A generated building as plain data, in the order the registry takes."""

    meshes: list[PlainMesh] = field(default_factory=list)
    wires: list[PlainWire] = field(default_factory=list)
    apertures: list[PlainMesh] = field(default_factory=list)
    storeys: int = 0
    doors: int = 0
    windows: int = 0
    wall_thickness: float = 0.0

    @property
    def rooms(self) -> int:
        return len(self.meshes)

    def velmarin_lists(self):
        """(meshes, wires, apertures) as lists of velmarin objects."""
        import velmarin

        def mesh(plain):
            vertices, faces = plain
            return velmarin.Mesh([velmarin.Vector3D(*p) for p in vertices], faces)

        with collector_paused():
            meshes = [mesh(m) for m in self.meshes]
            wires = [velmarin.Wire(velmarin.Vector3D(*a), velmarin.Vector3D(*b)) for a, b in self.wires]
            apertures = [mesh(a) for a in self.apertures]
        return meshes, wires, apertures

    def registry(self):
        import velmarin

        return velmarin.SpatialRegistry(*self.velmarin_lists())

    def summary(self) -> str:
        walls = f", {self.wall_thickness:g} m walls" if self.wall_thickness else ""
        return (
            f"{self.rooms} rooms in {self.storeys} storeys, {self.doors} doors, "
            f"{self.windows} windows, {len(self.wires)} columns{walls}"
        )


def box_mesh(x0: float, x1: float, y0: float, y1: float, z0: float, z1: float) -> PlainMesh:
    """A closed box of six outward-facing quads."""
    xs, ys, zs = (x0, x1), (y0, y1), (z0, z1)
    corners = [(xs[k & 1], ys[(k >> 1) & 1], zs[(k >> 2) & 1]) for k in range(8)]
    return corners, [list(f) for f in BOX_FACES]


def quad_in_x_plane(x: float, y0: float, y1: float, z0: float, z1: float) -> PlainMesh:
    return [(x, y0, z0), (x, y1, z0), (x, y1, z1), (x, y0, z1)], [[0, 1, 2, 3]]


def quad_in_y_plane(y: float, x0: float, x1: float, z0: float, z1: float) -> PlainMesh:
    return [(x0, y, z0), (x1, y, z0), (x1, y, z1), (x0, y, z1)], [[0, 1, 2, 3]]


def opening_in_x_wall(x: float, y0: float, y1: float, z0: float, z1: float, thickness: float) -> PlainMesh:
    """The quad in the plane x, or the box that spans a wall of that thickness around it."""
    if thickness == 0:
        return quad_in_x_plane(x, y0, y1, z0, z1)
    return box_mesh(x - thickness / 2, x + thickness / 2, y0, y1, z0, z1)


def opening_in_y_wall(y: float, x0: float, x1: float, z0: float, z1: float, thickness: float) -> PlainMesh:
    if thickness == 0:
        return quad_in_y_plane(y, x0, x1, z0, z1)
    return box_mesh(x0, x1, y - thickness / 2, y + thickness / 2, z0, z1)


def storey_shape(rooms: int) -> tuple[int, int, int]:
    """(storeys, rows per storey, rooms per row) for about ``rooms`` rooms.

    The storey count grows with the cube root, so the footprint grows too
    instead of the building turning into a thin tower.
    """
    storeys = max(1, round(rooms ** (1 / 3) / 2))
    per_storey = math.ceil(rooms / storeys)
    per_row = max(1, round(math.sqrt(per_storey)))
    rows = math.ceil(per_storey / per_row)
    return storeys, rows, per_row


def partition(rng: random.Random, total: int, parts: int, low: int, high: int) -> list[int]:
    """``parts`` random integers in [low, high] that add up to ``total``."""
    widths = [rng.randint(low, high) for _ in range(parts)]
    excess = sum(widths) - total
    step = -1 if excess > 0 else 1
    while excess:
        k = rng.randrange(parts)
        if low <= widths[k] + step <= high:
            widths[k] += step
            excess += step
    return widths


def cuts(widths: Sequence[int]) -> list[float]:
    """Positions of the walls along a row: 0, w0, w0 + w1, ..."""
    out, at = [0.0], 0
    for w in widths:
        at += w
        out.append(at * UNIT)
    return out


def generate_building(
    rooms: int,
    seed: int = 0,
    *,
    door_ratio: float = 0.9,
    window_ratio: float = 0.5,
    column_ratio: float = 0.25,
    wall_thickness: float = 0.0,
) -> Building:
    """A building of exactly ``rooms`` rooms; see the module's description."""
    if rooms < 0:
        raise ValueError("rooms must not be negative")
    if not wall_thickness >= 0:
        raise ValueError("wall_thickness must not be negative")
    with collector_paused():
        building = Building(wall_thickness=wall_thickness)
        return lay_out(building, rooms, random.Random(seed), door_ratio, window_ratio, column_ratio)


@contextmanager
def collector_paused():
    """Millions of small tuples, none of them cyclic: the cycle collector's
    passes over them would double the generation time."""
    was_enabled = gc.isenabled()
    gc.disable()
    try:
        yield
    finally:
        if was_enabled:
            gc.enable()


def lay_out(building, rooms, rng, door_ratio, window_ratio, column_ratio) -> Building:
    storeys, rows, per_row = storey_shape(max(rooms, 1))
    mean_width = sum(ROOM_WIDTH_UNITS) // 2
    row_units = per_row * mean_width
    depths = cuts([rng.randint(*ROW_DEPTH_UNITS) for _ in range(rows)])
    length, depth = row_units * UNIT, depths[-1]
    half = building.wall_thickness / 2
    left = rooms
    for storey in range(storeys):
        if left == 0:
            break
        building.storeys += 1
        z0 = storey * STOREY_HEIGHT
        z1 = z0 + STOREY_HEIGHT
        previous_row: list[float] = []
        for row in range(rows):
            if left == 0:
                break
            count = min(per_row, left)
            units = row_units if count == per_row else count * mean_width
            walls = cuts(partition(rng, units, count, *ROOM_WIDTH_UNITS))
            y0, y1 = depths[row], depths[row + 1]
            for k in range(count):
                x0, x1 = walls[k], walls[k + 1]
                building.meshes.append(box_mesh(x0 + half, x1 - half, y0 + half, y1 - half, z0 + half, z1 - half))
                if rng.random() < column_ratio:
                    cx = x0 + (x1 - x0) * COLUMN_SPOT[0]
                    cy = y0 + (y1 - y0) * COLUMN_SPOT[1]
                    building.wires.append(((cx, cy, z0 + half), (cx, cy, z1 - half)))
            add_row_doors(building, rng, door_ratio, walls, previous_row, (y0, y1), z0)
            add_row_windows(building, rng, window_ratio, walls, (y0, y1), (length, depth), z0)
            previous_row = walls
            left -= count
    return building


def add_row_doors(building, rng, ratio, walls, previous_row, row_span, z0):
    """Doors in the walls between rooms of a row, and towards the row in front."""
    y0, y1 = row_span
    thickness = building.wall_thickness
    floor = z0 + thickness / 2
    top = floor + DOOR_HEIGHT
    ya, yb = centred_door(y0, y1)
    for x in walls[1:-1]:
        if rng.random() < ratio:
            building.apertures.append(opening_in_x_wall(x, ya, yb, floor, top, thickness))
            building.doors += 1
    for a0, a1 in shared_spans(previous_row, walls):
        if a1 - a0 >= DOOR_WIDTH + 2 * DOOR_MARGIN and rng.random() < ratio:
            building.apertures.append(opening_in_y_wall(y0, *centred_door(a0, a1), floor, top, thickness))
            building.doors += 1


def centred_door(a: float, b: float) -> tuple[float, float]:
    mid = (a + b) / 2
    return mid - DOOR_WIDTH / 2, mid + DOOR_WIDTH / 2


def shared_spans(lower: Sequence[float], upper: Sequence[float]):
    """The x-intervals where a room of one row faces a room of the next."""
    spans = []
    i = j = 0
    while i + 1 < len(lower) and j + 1 < len(upper):
        a0, a1 = max(lower[i], upper[j]), min(lower[i + 1], upper[j + 1])
        if a1 > a0:
            spans.append((a0, a1))
        if lower[i + 1] < upper[j + 1]:
            i += 1
        else:
            j += 1
    return spans


def add_row_windows(building, rng, ratio, walls, row_span, footprint, z0):
    """Windows in the outer walls of the rooms of one row."""
    y0, y1 = row_span
    length, depth = footprint
    z_low, z_high = z0 + WINDOW_SILL, z0 + WINDOW_SILL + WINDOW_HEIGHT

    def window(mesh):
        if rng.random() < ratio:
            building.apertures.append(mesh)
            building.windows += 1

    thickness = building.wall_thickness
    ya, yb = centred_window(y0, y1)
    window(opening_in_x_wall(walls[0], ya, yb, z_low, z_high, thickness))
    if walls[-1] == length:
        window(opening_in_x_wall(length, ya, yb, z_low, z_high, thickness))
    for k in range(len(walls) - 1):
        xa, xb = centred_window(walls[k], walls[k + 1])
        if y0 == 0.0:
            window(opening_in_y_wall(0.0, xa, xb, z_low, z_high, thickness))
        if y1 == depth:
            window(opening_in_y_wall(depth, xa, xb, z_low, z_high, thickness))


def centred_window(a: float, b: float) -> tuple[float, float]:
    mid = (a + b) / 2
    return mid - WINDOW_WIDTH / 2, mid + WINDOW_WIDTH / 2
