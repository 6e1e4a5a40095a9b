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

# Flat coordinates (x, y, z, x, y, z, ...) and faces as tuples of vertex positions.
Solid = tuple[Sequence[float], Sequence[Sequence[int]]]


def engine_settings() -> Any:
    settings = geom.settings()
    settings.set("use-world-coords", True)
    settings.set("convert-back-units", False)  # metres, not the model's own unit
    # The engine's own planar faces, as polygons, rather than their triangles:
    # a room's wall then meets the next room's wall in one region, where
    # triangles would cut it into pieces, some of them slivers too small to
    # count. Faces with holes and curved faces still come as triangles.
    settings.set("triangulation-type", ifcopenshell.ifcopenshell_wrapper.POLYHEDRON_WITHOUT_HOLES)
    # Faceted boundaries are often written inside out; faces must face out
    # for the walls between rooms to be found.
    settings.set("reorient-shells", True)
    return settings


def element_solids(model: ifcopenshell.file, products: Sequence[Any]) -> dict[int, Solid]:
    """The solid of each product the engine can make, by the product's step id.

    Runs on all cores; products without a shape do not appear.
    """
    if not products:
        return {}
    iterator = geom.iterator(engine_settings(), model, multiprocessing.cpu_count(),
                           include=list(products))
    solids: dict[int, Solid] = {}
    if iterator.initialize():
        while True:
            shape = iterator.get()
            solids[shape.id] = (shape.geometry.verts, shape.geometry.faces)
            if not iterator.next():
                break
    return solids


def solid_mesh(solid: Solid) -> Optional[Mesh]:
    """The solid as a welded mesh, or None when nothing with an area is left."""
    coordinates, faces = solid
    polygons = [list(face) for face in faces if len(face) >= 3]
    if not polygons:
        return None
    it = iter(coordinates)
    vertices = [Vector3D(x, y, z) for x, y, z in zip(it, it, it)]
    mesh = Mesh(vertices, polygons).clean(WELD_CELL)
    return mesh if mesh.faces else None


def column_wire(solid: Solid) -> Optional[Wire]:
    """A column's axis: a vertical wire at the centre of its solid's horizontal
    bounds, from the solid's lowest to its highest point."""
    coordinates = solid[0]
    if not coordinates:
        return None
    xs, ys, zs = coordinates[0::3], coordinates[1::3], coordinates[2::3]
    x, y = (min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2
    return Wire(Vector3D(x, y, min(zs)), Vector3D(x, y, max(zs)))
