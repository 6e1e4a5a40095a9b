"""Element solids from ifcopenshell's geometry engine, as velmarin meshes and wires."""
from __future__ import annotations

import multiprocessing
from typing import Any, Optional, Sequence

import ifcopenshell
import ifcopenshell.geom
import ifcopenshell.ifcopenshell_wrapper

from velmarin import Mesh, Vector3D, Wire

# Vertices closer than this are one. The engine answers in metres whatever the
# model's unit, so a fixed length serves every model: a hundredth of a
# millimetre is far below any building feature, and far above the rounding of
# coordinates even kilometres from the origin.
WELD_CELL = 1e-5

# The engine's Python layer is only partly typed.
geom: Any = ifcopenshell.geom

# The engine's kernel: the simple CGAL one, several times faster than
# OpenCASCADE on the extrusions and breps of rooms, doors and windows, which
# takes over wherever the simple one fails.
KERNEL = "hybrid-cgal-simple-opencascade"

# Flat coordinates (x, y, z, x, y, z, ...) and flat triangles (three vertex positions each).
Solid = tuple[Sequence[float], Sequence[int]]


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
