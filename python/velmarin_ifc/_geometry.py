"""Element solids from ifcopenshell's geometry engine, as velmarin meshes and wires."""
from __future__ import annotations

import math
import multiprocessing
from typing import Any, Optional, Sequence

import ifcopenshell
import ifcopenshell.geom
import ifcopenshell.ifcopenshell_wrapper
import numpy as np
import numpy.typing as npt

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

# A solid as the engine gives it: its vertices, float64 rows of x, y and z, and
# its triangles, int32 rows of three vertex positions (arrays over the
# engine's own buffers).
Solid = tuple[npt.NDArray[np.float64], npt.NDArray[np.int32]]
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
            geometry = shape.geometry
            solids[shape.id] = (np.frombuffer(geometry.verts_buffer, np.float64).reshape(-1, 3),
                                np.frombuffer(geometry.faces_buffer, np.int32).reshape(-1, 3))
            if not iterator.next():
                break
    return solids


def solid_mesh(solid: Solid) -> Optional[Mesh]:
    """The solid as a welded mesh of planar faces facing out, or None when
    nothing with an area is left. The engine may repeat a point for every
    triangle it bounds: those are made one before the triangles are wound and
    merged across the corners they share."""
    vertices, triangles = solid
    mesh = Mesh.from_arrays(vertices, triangles).merge_equal_vertices().orient_outward().merge_coplanar_faces()
    welded = mesh.clean(WELD_CELL)
    return welded if welded.faces else None


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
    vertices, _ = mesh.to_arrays()
    (x0, y0, z0), (x1, y1, z1) = vertices.min(axis=0).tolist(), vertices.max(axis=0).tolist()
    lying = z1 - z0 < min(x1 - x0, y1 - y0)
    up = mesh.face_normals()[:, 2]
    return faces_where(mesh, ~np.isnan(up) & ((np.abs(up) > FACING_UP) == lying))


def tread_mesh(solid: Solid) -> Optional[Mesh]:
    """A stair's or ramp's solid as the faces that face up (treads, landings,
    the ramp's surface), or None when it has none. Its risers and sides are
    left out: they may lie flush with a wall between two rooms, which the
    stair does not pass."""
    mesh = solid_mesh(solid)
    return faces_where(mesh, mesh.face_normals()[:, 2] > FACING_UP) if mesh is not None else None


def faces_where(mesh: Mesh, keep: npt.NDArray[np.bool_]) -> Optional[Mesh]:
    """The mesh with the faces where `keep` (one flag a face) holds; None when it holds for none."""
    kept = np.flatnonzero(keep)
    return mesh.select_faces(kept.tolist()) if len(kept) else None


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


def column_wire(solid: Solid) -> Optional[Wire]:
    """A column's axis: a vertical wire at the centre of its solid's horizontal
    bounds, from the solid's lowest to its highest point."""
    vertices = solid[0]
    if not len(vertices):
        return None
    (x0, y0, z0), (x1, y1, z1) = vertices.min(axis=0).tolist(), vertices.max(axis=0).tolist()
    x, y = (x0 + x1) / 2, (y0 + y1) / 2
    return Wire(Vector3D(x, y, z0), Vector3D(x, y, z1))
