"""Element solids from ifcopenshell's geometry engine, as velmarin meshes and wires."""
from __future__ import annotations

import math
import multiprocessing
from typing import Any, Callable, Optional, Sequence

import ifcopenshell
import ifcopenshell.geom
import ifcopenshell.ifcopenshell_wrapper

from velmarin import Mesh, Vector3D, Wire

# Vertices closer than this are one. The engine answers in metres whatever the
# model's unit, so a fixed length serves every model: a hundredth of a
# millimetre is far below any building feature, and far above the rounding of
# coordinates even kilometres from the origin.
WELD_CELL = 1e-5

# A face faces up when its unit normal's z exceeds this: the line at which the
# graph build tells a slab contact (steeper normals) from a wall contact.
FACING_UP = 0.707

# The engine's Python layer is only partly typed.
geom: Any = ifcopenshell.geom

# The engine's kernel: the simple CGAL one, several times faster than
# OpenCASCADE on the extrusions and breps of rooms, doors and windows, which
# takes over wherever the simple one fails.
KERNEL = "hybrid-cgal-simple-opencascade"

# Flat coordinates (x, y, z, x, y, z, ...) and flat triangles (three vertex positions each).
Solid = tuple[Sequence[float], Sequence[int]]
Point = tuple[float, float, float]
Normal = tuple[float, float, float]


def engine_settings() -> Any:
    settings = geom.settings()
    settings.set("use-world-coords", True)
    settings.set("convert-back-units", False)  # metres, not the model's own unit
    settings.set("triangulation-type", ifcopenshell.ifcopenshell_wrapper.TRIANGLE_MESH)
    return settings


def engine_threads() -> int:
    """The engine's workers: one per core but the one this thread needs to take
    their shapes in. (Its threads spend about twice the processor time of its
    sequential run on the same shapes, so on two cores one thread is faster.)"""
    return max(1, multiprocessing.cpu_count() - 1)


def element_solids(model: ifcopenshell.file, products: Sequence[Any], threads: int = 0,
                   kernel: str = KERNEL) -> dict[int, Solid]:
    """The solid of each product the engine can make, by the product's step id;
    products without a shape do not appear. `threads` 0: `engine_threads()`."""
    if not products:
        return {}
    iterator = geom.iterator(engine_settings(), model, threads or engine_threads(),
                           include=list(products), geometry_library=kernel)
    solids: dict[int, Solid] = {}
    if iterator.initialize():
        while True:
            shape = iterator.get()
            solids[shape.id] = (shape.geometry.verts, shape.geometry.faces)
            if not iterator.next():
                break
    return solids


def solid_mesh(solid: Solid) -> Optional[Mesh]:
    """The solid as a welded mesh of planar faces facing out, or None when
    nothing with an area is left. The engine may repeat a point for every
    triangle it bounds: those are made one before the triangles are wound and
    merged across the corners they share."""
    coordinates, indices = solid
    xyz, corners = iter(coordinates), iter(indices)
    triangles = Mesh([Vector3D(x, y, z) for x, y, z in zip(xyz, xyz, xyz)], list(zip(corners, corners, corners)))
    mesh = triangles.merge_equal_vertices().orient_outward().merge_coplanar_faces().clean(WELD_CELL)
    return mesh if mesh.faces else None


def opening_mesh(solid: Solid) -> Optional[Mesh]:
    """A door's, window's or opening's solid as the faces through which it
    opens: standing in a wall (its height at least the smaller side of its
    plan's bounds), the faces that are not level; lying in a slab, the level
    ones. None when none is left. A door's head or threshold lies in the plane
    of the ceiling or floor of a room beside its wall and would otherwise be
    cut from the slab between that room and the next storey's."""
    mesh = solid_mesh(solid)
    if mesh is None:
        return None
    (x0, y0, z0), (x1, y1, z1) = bounds(mesh.vertices)
    lying = z1 - z0 < min(x1 - x0, y1 - y0)
    return faces_where(mesh, lambda normal: (abs(normal[2]) > FACING_UP) == lying)


def tread_mesh(solid: Solid) -> Optional[Mesh]:
    """A stair's or ramp's solid as the faces that face up (treads, landings,
    the ramp's surface), or None when it has none. Its risers and sides are
    left out: they may lie flush with a wall between two rooms, which the
    stair does not pass."""
    mesh = solid_mesh(solid)
    return faces_where(mesh, lambda normal: normal[2] > FACING_UP) if mesh is not None else None


def faces_where(mesh: Mesh, keep: Callable[[Normal], bool]) -> Optional[Mesh]:
    """The mesh with the faces whose unit normal passes `keep`; None when none does."""
    points = mesh.vertices
    kept = []
    for face in mesh.faces:
        normal = face_normal([points[i] for i in face])
        if normal is not None and keep(normal):
            kept.append(face)
    return Mesh(points, kept) if kept else None


def bounds(points: Sequence[Vector3D]) -> tuple[Point, Point]:
    """The lowest and highest coordinates of some points."""
    xs, ys, zs = [p.x for p in points], [p.y for p in points], [p.z for p in points]
    return (min(xs), min(ys), min(zs)), (max(xs), max(ys), max(zs))


def face_normal(polygon: Sequence[Vector3D]) -> Optional[Normal]:
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


def shared_corners(solid: Solid) -> tuple[list[tuple[float, float, float]], list[int]]:
    """The solid's points, each coordinate triple once, and its triangles'
    corners renumbered onto them. An engine may repeat a point for every
    triangle it bounds; the faces are traced and turned across the corners
    that triangles share, so those must be one."""
    coordinates, indices = solid
    xyz = iter(coordinates)
    number: dict[tuple[float, float, float], int] = {}
    renumbered = [number.setdefault(p, len(number)) for p in zip(xyz, xyz, xyz)]
    return list(number), [renumbered[k] for k in indices]


def column_wire(solid: Solid) -> Optional[Wire]:
    """A column's axis: a vertical wire at the centre of its solid's horizontal
    bounds, from the solid's lowest to its highest point."""
    coordinates = solid[0]
    if not coordinates:
        return None
    xs, ys, zs = coordinates[0::3], coordinates[1::3], coordinates[2::3]
    x, y = (min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2
    return Wire(Vector3D(x, y, min(zs)), Vector3D(x, y, max(zs)))
