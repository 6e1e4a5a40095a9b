"""Element solids as velmarin meshes and wires: made by velmarin from the
model's text where their bodies are of the common kinds, by ifcopenshell's
geometry engine otherwise."""

from __future__ import annotations

from typing import NamedTuple

import numpy as np
import numpy.typing as npt

from velmarin import IfcParser, Mesh, Vector3D, Wire
from velmarin_ifc._geometry import FACING_UP

# Vertices closer than this are one. The engine answers in metres whatever the
# model's unit, so a fixed length serves every model: a hundredth of a
# millimetre is far below any building feature, and far above the rounding of
# coordinates even kilometres from the origin.
WELD_CELL = 1e-5

# A solid in world coordinates: its vertices, float64 rows of x, y and z, and
# its triangles, int64 rows of three vertex positions.
Solid = tuple[npt.NDArray[np.float64], npt.NDArray[np.int64]]


class Shape(NamedTuple):
    """A solid as the engine gives it: in its element's own coordinates, with
    the placement that takes them to the world's. Elements that share a shape
    share its arrays."""

    vertices: npt.NDArray[np.float64]  # rows of x, y and z (an array over the engine's own buffer)
    triangles: npt.NDArray[np.int64]  # rows of three vertex positions
    placement: npt.NDArray[np.float64]  # 3 x 4: the linear map's rows, each followed by the translation's coordinate


def world_solids(shapes: dict[int, Shape]) -> dict[int, Solid]:
    """The shapes placed in world coordinates, by the same keys: every
    vertex of every shape moved at once, as the shapes are many and small."""
    if not shapes:
        return {}
    counts = [len(shape.vertices) for shape in shapes.values()]
    placements = np.repeat(np.stack([shape.placement for shape in shapes.values()]), counts, axis=0)
    local = np.concatenate([shape.vertices for shape in shapes.values()])
    # x, y and z times their columns summed in turn, then the move: the order
    # of the engine's own placing, whose coordinates these are to the rounding.
    world = np.einsum("nij,nj->ni", placements[:, :, :3], local) + placements[:, :, 3]
    ends = np.cumsum(counts).tolist()
    return {
        key: (world[end - count : end], shape.triangles)
        for (key, shape), count, end in zip(shapes.items(), counts, ends)
    }


def solids_made_here(
    text: bytes, elements: list[int], metres: float, faces: list[str] | None = None
) -> dict[int, Mesh]:
    """The solids velmarin makes itself, by the elements' step ids, welded
    as `solid_mesh` welds the engine's: those whose bodies are extrusions of
    polylines and rectangles, faceted breps, shell-based surface models, face
    sets, or such shapes mapped into place (IfcParser.element_solids). Of
    each, the faces that `faces` names (None: all; "opening": those of
    `opening_mesh`; "treads": those of `tread_mesh`). A mesh without faces:
    nothing with an area was kept. The other elements are left to the engine."""
    made = IfcParser.element_solids(text, elements, metres, WELD_CELL, faces)
    return {element: mesh for element, mesh in zip(elements, made) if mesh is not None}


def solid_mesh(solid: Solid) -> Mesh | None:
    """The solid as a welded mesh of planar faces facing out, or None when
    nothing with an area is left. The engine may repeat a point for every
    triangle it bounds: those are made one before the triangles are wound and
    merged across the corners they share."""
    vertices, triangles = solid
    mesh = Mesh.from_arrays(vertices, triangles).merge_equal_vertices().orient_outward().merge_coplanar_faces()
    welded = mesh.clean(WELD_CELL)
    return welded if welded.faces else None


def opening_mesh(mesh: Mesh) -> Mesh | None:
    """A door's, window's or opening's solid (welded) as the faces through
    which it opens: standing in a wall (its height at least the smaller side
    of its plan's bounds), the faces that are not level; lying in a slab, the
    level ones. None when none is left. A door's head or threshold lies in
    the plane of the ceiling or floor of a room beside its wall and would
    otherwise be cut from the slab between that room and the next storey's."""
    vertices, _ = mesh.to_arrays()
    (x0, y0, z0), (x1, y1, z1) = vertices.min(axis=0).tolist(), vertices.max(axis=0).tolist()
    lying = z1 - z0 < min(x1 - x0, y1 - y0)
    steepness = np.abs(mesh.face_normals()[:, 2])  # NaN, for a face without area, is neither
    return faces_where(mesh, steepness > FACING_UP if lying else steepness <= FACING_UP)


def tread_mesh(mesh: Mesh) -> Mesh | None:
    """A stair's or ramp's solid (welded) as the faces that face up (treads,
    landings, the ramp's surface), or None when it has none. Its risers and
    sides are left out: they may lie flush with a wall between two rooms,
    which the stair does not pass."""
    return faces_where(mesh, mesh.face_normals()[:, 2] > FACING_UP)


def faces_where(mesh: Mesh, keep: npt.NDArray[np.bool_]) -> Mesh | None:
    """The mesh with the faces where `keep` (one flag a face) holds; None when it holds for none."""
    kept = keep.nonzero()[0].tolist()
    return mesh.select_faces(kept) if kept else None


def column_wire(mesh: Mesh) -> Wire | None:
    """A column's axis: a vertical wire at the centre of its solid's horizontal
    bounds, from the solid's lowest to its highest point."""
    vertices, _ = mesh.to_arrays()
    if not len(vertices):
        return None
    (x0, y0, z0), (x1, y1, z1) = vertices.min(axis=0).tolist(), vertices.max(axis=0).tolist()
    x, y = (x0 + x1) / 2, (y0 + y1) / 2
    return Wire(Vector3D(x, y, z0), Vector3D(x, y, z1))
