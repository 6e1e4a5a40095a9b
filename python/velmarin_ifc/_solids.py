"""Element solids, as ifcopenshell's geometry engine makes them, as velmarin meshes and wires."""
from __future__ import annotations

from typing import Optional

import numpy as np
import numpy.typing as npt

from velmarin import Mesh, Vector3D, Wire
from velmarin_ifc._geometry import FACING_UP

# Vertices closer than this are one. The engine answers in metres whatever the
# model's unit, so a fixed length serves every model: a hundredth of a
# millimetre is far below any building feature, and far above the rounding of
# coordinates even kilometres from the origin.
WELD_CELL = 1e-5

# A solid as the engine gives it: its vertices, float64 rows of x, y and z
# (an array over the engine's own buffer), and its triangles, int64 rows of
# three vertex positions.
Solid = tuple[npt.NDArray[np.float64], npt.NDArray[np.int64]]


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


def column_wire(solid: Solid) -> Optional[Wire]:
    """A column's axis: a vertical wire at the centre of its solid's horizontal
    bounds, from the solid's lowest to its highest point."""
    vertices = solid[0]
    if not len(vertices):
        return None
    (x0, y0, z0), (x1, y1, z1) = vertices.min(axis=0).tolist(), vertices.max(axis=0).tolist()
    x, y = (x0 + x1) / 2, (y0 + y1) / 2
    return Wire(Vector3D(x, y, z0), Vector3D(x, y, z1))
