"""Small shape builders shared by the examples."""

from velmarin import Mesh, Vector3D


def box(x0: float, y0: float, z0: float, x1: float, y1: float, z1: float) -> Mesh:
    """A closed box room: eight corners and six outward-facing quads."""
    corners = [Vector3D(x, y, z) for z in (z0, z1) for y in (y0, y1) for x in (x0, x1)]
    faces = [[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4], [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]]
    return Mesh(corners, faces)


def plan_area(mesh: Mesh) -> float:
    """The area of a prism's footprint: its first face, read in plan."""
    ring = [(mesh.vertices[i].x, mesh.vertices[i].y) for i in mesh.faces[0]]
    twice = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(ring, ring[1:] + ring[:1]))
    return abs(twice) / 2.0
