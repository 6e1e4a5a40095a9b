"""Small helpers shared by the mesh tests: building meshes from plain tuples,
random ones too, and reading them back in a form that compares exactly (bit
patterns, so -0.0 and NaN count)."""

import math

from support.exact import exact_points
from velmarin import Mesh, Vector3D


def make_mesh(points, faces):
    return Mesh([Vector3D(*p) for p in points], faces)


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


def random_solid(rng):
    """Random triangulated solids in one triangle soup, as geometry engines
    give them and worse: (points, triangles).

    One to three prisms, each over a random set of cells of a 4 x 4 grid
    (faces with holes, cells touching at a corner only, so edges along which
    four faces run, several pieces), stacked so that they may share faces
    and edges, turned about z, scaled and moved. Each cell's top and bottom
    and each wall the cells leave open is a quad split along a random
    diagonal. Each prism is wound out, in, or each triangle at random; now
    and then a triangle without area is added (a repeated corner, or a
    corner on one of its edges). Corners are numbered apart for every
    triangle or shared, and the triangles are shuffled."""
    triangles = []
    z = 0
    for _ in range(rng.randint(1, 3)):
        cells = {(x, y) for x in range(4) for y in range(4) if rng.random() < 0.6}
        height = rng.randint(1, 2)
        prism = [t for cell in sorted(cells) for t in cell_triangles(rng, cells, cell, z, z + height)]
        winding = rng.choice(["out", "in", "mixed"])
        triangles += [t[::-1] if winding == "in" or (winding == "mixed" and rng.random() < 0.5) else t for t in prism]
        z += rng.choice([0, height, height + 1])
    for _ in range(rng.randint(0, 2)):
        if triangles:
            a, b, _ = rng.choice(triangles)
            middle = tuple((p + q) / 2 for p, q in zip(a, b))
            triangles.append(rng.choice([(a, a, b), (a, middle, b)]))
    rng.shuffle(triangles)
    angle, scale = rng.uniform(0, 6.3) * (rng.random() < 0.5), rng.uniform(0.2, 5)
    offset = [rng.uniform(-100, 100) for _ in range(3)]
    c, s = math.cos(angle), math.sin(angle)

    def placed(p):
        x, y, z = (scale * v for v in p)
        return (c * x - s * y + offset[0], s * x + c * y + offset[1], z + offset[2])

    if rng.random() < 0.5:
        return [placed(p) for t in triangles for p in t], [[3 * k, 3 * k + 1, 3 * k + 2] for k in range(len(triangles))]
    number = {}
    faces = [[number.setdefault(p, len(number)) for p in t] for t in triangles]
    return [placed(p) for p in number], faces


def cell_triangles(rng, cells, cell, z0, z1):
    """The triangles of a grid cell's part of the prism over `cells`, facing out."""
    x, y = cell
    ring = [(x, y), (x + 1, y), (x + 1, y + 1), (x, y + 1)]
    quads = [[(*p, z1) for p in ring], [(*p, z0) for p in ring[::-1]]]
    for (px, py), (qx, qy), beside in zip(ring, ring[1:] + ring[:1], [(x, y - 1), (x + 1, y), (x, y + 1), (x - 1, y)]):
        if beside not in cells:
            quads.append([(px, py, z0), (qx, qy, z0), (qx, qy, z1), (px, py, z1)])
    triangles = []
    for a, b, c, d in quads:
        triangles += [(a, b, c), (a, c, d)] if rng.random() < 0.5 else [(a, b, d), (b, c, d)]
    return triangles
