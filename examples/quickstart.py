"""A first look at velmarin: vectors, a wire and a room mesh."""
import velmarin
from velmarin import Mesh, Vector3D, Wire


def box(x0, y0, z0, x1, y1, z1):
    """A closed box room as a mesh of six quads, facing outward."""
    corners = [Vector3D(x, y, z) for z in (z0, z1) for y in (y0, y1) for x in (x0, x1)]
    faces = [[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4], [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]]
    return Mesh(corners, faces)


room = box(0, 0, 0, 4, 3, 2.7)
column = Wire(Vector3D(2, 1.5, 0), Vector3D(2, 1.5, 2.7))
centre = room.compute_volume_centroid()

print(f"velmarin exports {len(velmarin.__all__)} names: {', '.join(velmarin.__all__)}")
print(f"room: {len(room.vertices)} vertices, {len(room.faces)} faces, "
      f"centre ({centre.x}, {centre.y}, {centre.z})")
print(f"column from z={column.start.z} to z={column.end.z}")
