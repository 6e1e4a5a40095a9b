"""A first look at velmarin: vectors, a wire and a room mesh."""

import velmarin
from shapes import box
from velmarin import Vector3D, Wire

room = box(0, 0, 0, 4, 3, 2.7)
column = Wire(Vector3D(2, 1.5, 0), Vector3D(2, 1.5, 2.7))
centre = room.compute_volume_centroid()

print(f"velmarin exports {len(velmarin.__all__)} names: {', '.join(velmarin.__all__)}")
print(f"room: {len(room.vertices)} vertices, {len(room.faces)} faces, centre ({centre.x}, {centre.y}, {centre.z})")
print(f"column from z={column.start.z} to z={column.end.z}")
