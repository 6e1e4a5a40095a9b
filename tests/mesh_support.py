"""Small helpers shared by the mesh tests: building meshes from plain tuples,
random ones too, and reading them back in a form that compares exactly (bit
patterns, so -0.0 and NaN count)."""

import math
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


SPECIAL_VALUES = (-0.0, math.inf, -math.inf, math.nan)


def random_mesh_data(rng, width=None, valid=True):
    """Random points (on a coarse grid, anywhere, and now and then -0.0, NaN
    or an infinity) and faces of `width` indices each, or of 3 to 6 when
    `width` is None. Unless `valid`, about one face in ten is too short (when
    lengths vary) or names a vertex past the end."""
    def coordinate():
        r = rng.random()
        if r < 0.05:
            return rng.choice(SPECIAL_VALUES)
        return rng.randint(-8, 8) / 4 if r < 0.5 else rng.uniform(-3, 3)

    points = [(coordinate(), coordinate(), coordinate()) for _ in range(rng.randint(1, 40))]
    faces = []
    for _ in range(rng.randint(0, 30)):
        face = [rng.randrange(len(points)) for _ in range(width or rng.randint(3, 6))]
        if not valid and rng.random() < 0.1:
            if width is None and rng.random() < 0.5:
                face = face[:2]
            else:
                face[rng.randrange(len(face))] = len(points) + rng.randrange(5)
        faces.append(face)
    return points, faces
