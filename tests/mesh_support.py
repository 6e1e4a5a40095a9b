"""Small helpers shared by the mesh tests: building meshes from plain tuples
and reading them back in a form that compares exactly (bit patterns, so
-0.0 and NaN count)."""

import struct

from velmarin import Mesh, Vector3D


def make_mesh(points, faces):
    return Mesh([Vector3D(*p) for p in points], faces)


def bits(value):
    return struct.pack("<d", value)


def exact_points(points):
    return [tuple(bits(c) for c in p) for p in points]


def mesh_points(mesh):
    return [(v.x, v.y, v.z) for v in mesh.vertices]


def exact_mesh(mesh):
    """The mesh as (vertex bit patterns, faces): equal only if identical."""
    return exact_points(mesh_points(mesh)), mesh.faces
