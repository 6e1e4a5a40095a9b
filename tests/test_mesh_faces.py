"""Mesh.merge_equal_vertices, orient_outward and merge_coplanar_faces: the
same results as the plain Python version on random triangulated solids, and
what each does on solids small enough to check by hand."""

import math
import random

import pytest

from mesh_support import exact_points, make_mesh, mesh_points, random_solid
from support.reference_mesh import edge_sharing, reference_equal_vertices, reference_merge_coplanar, reference_orient
from velmarin import Mesh


def signed_volume(mesh):
    v, total = mesh_points(mesh), 0.0
    for face in mesh.faces:
        a = v[face[0]]
        for b, c in zip((v[i] for i in face[1:-1]), (v[i] for i in face[2:])):
            total += (
                a[0] * (b[1] * c[2] - b[2] * c[1])
                - a[1] * (b[0] * c[2] - b[2] * c[0])
                + a[2] * (b[0] * c[1] - b[1] * c[0])
            )
    return total / 6


def test_random_solids_give_what_the_python_version_gives():
    merged_some = kept_some = 0
    for seed in range(400):
        points, triangles = random_solid(random.Random(seed))
        shared = make_mesh(points, triangles).merge_equal_vertices()
        shared_points, shared_faces = reference_equal_vertices(points, triangles)
        assert exact_points(mesh_points(shared)) == exact_points(shared_points), seed
        assert shared.faces == shared_faces, seed

        sharing = edge_sharing(shared.faces)
        wound = shared.orient_outward()
        assert wound.faces == reference_orient(shared_points, shared.faces, sharing), seed
        merged = wound.merge_coplanar_faces()
        assert merged.faces == reference_merge_coplanar(shared_points, wound.faces, sharing), seed
        assert exact_points(mesh_points(merged)) == exact_points(shared_points)
        merged_some += len(merged.faces) < len(wound.faces)
        kept_some += any(len(f) == 3 for f in merged.faces)
    assert merged_some > 300 and kept_some > 300


def test_an_l_shaped_floor_and_a_roof_become_two_faces_facing_out():
    # An L-shaped floor in four triangles, one of them turned, under a flat roof in two.
    floor = [(0, 0, 0), (2, 0, 0), (2, 1, 0), (1, 1, 0), (1, 2, 0), (0, 2, 0)]
    points = floor + [(0, 0, 1), (2, 0, 1), (2, 2, 1)]
    mesh = make_mesh(points, [(0, 3, 2), (0, 2, 1), (3, 0, 5), (5, 3, 4), (6, 7, 8)])
    faces = mesh.orient_outward().merge_coplanar_faces().faces
    assert faces == [[3, 2, 1, 0, 5, 4], [6, 7, 8]]
    # The same with every triangle's corners given apart, as some engines give them.
    apart = [points[k] for t in mesh.faces for k in t]
    again = make_mesh(apart, [[k, k + 1, k + 2] for k in range(0, 15, 3)]).merge_equal_vertices()
    assert mesh_points(again) == [points[k] for k in (0, 3, 2, 1, 5, 4, 6, 7, 8)]
    assert sorted(map(len, again.orient_outward().merge_coplanar_faces().faces)) == [3, 6]


BOX = [(x, y, z) for z in (0, 1) for y in (0, 2) for x in (0, 3)]
BOX_TRIANGLES = [
    (0, 2, 3),
    (0, 3, 1),
    (4, 5, 7),
    (4, 7, 6),
    (0, 1, 5),
    (0, 5, 4),
    (2, 6, 7),
    (2, 7, 3),
    (0, 4, 6),
    (0, 6, 2),
    (1, 3, 7),
    (1, 7, 5),
]


@pytest.mark.parametrize("turned", ["none", "all", "every other"])
def test_a_box_in_any_winding_faces_out_as_six_rectangles(turned):
    triangles = [
        t[::-1] if turned == "all" or (turned == "every other" and k % 2) else t for k, t in enumerate(BOX_TRIANGLES)
    ]
    wound = make_mesh(BOX, triangles).orient_outward()
    assert signed_volume(wound) == pytest.approx(6)
    assert len(wound.faces) == 12 and all(set(f) == set(t) for f, t in zip(wound.faces, triangles))
    merged = wound.merge_coplanar_faces()
    assert sorted(map(len, merged.faces)) == [4] * 6 and signed_volume(merged) == pytest.approx(6)
    assert merged.merge_coplanar_faces().faces == merged.faces


def test_faces_of_any_length_merge_across_their_shared_edges():
    # The box with each side split into two quads along its middle: Newell's normals decide.
    points = BOX + [(1.5, 0, 0), (1.5, 2, 0), (1.5, 0, 1), (1.5, 2, 1)]
    quads = [(0, 9, 8), (8, 9, 3, 1)], [(4, 10, 11, 6), (10, 5, 7, 11)], [(0, 8, 10, 4), (8, 1, 5, 10)]
    faces = [q[::-1] if i == 0 and k == 0 else q for i, pair in enumerate(quads) for k, q in enumerate(pair)]
    faces[0] = (0, 2, 9, 8)
    faces += [(2, 6, 11, 9), (9, 11, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
    merged = make_mesh(points, faces).orient_outward().merge_coplanar_faces()
    assert sorted(map(len, merged.faces)) == [4, 4, 6, 6, 6, 6] and signed_volume(merged) == pytest.approx(6)


def test_the_tolerances_decide_what_lies_in_one_plane():
    # Two triangles along the x axis, the second tilted by 1e-5 (1 - cos = 5e-11) and far from the origin.
    tilt = 1e-5
    for far in (0.0, 1e4):
        points = [(far, 0, 0), (far + 1, 0, 0), (far, 1, 0), (far, -1, math.sin(tilt))]
        mesh = make_mesh(points, [(0, 1, 2), (1, 0, 3)])
        assert len(mesh.merge_coplanar_faces().faces) == 1
        assert len(mesh.merge_coplanar_faces(normal_tolerance=1e-11).faces) == 2
    assert len(mesh.merge_coplanar_faces(offset_tolerance=1e-9).faces) == 1  # the shared edge keeps offsets close
    assert len(mesh.merge_coplanar_faces(None, -1.0).faces) == 2
    assert len(mesh.merge_coplanar_faces(math.nan).faces) == 2
    with pytest.raises(TypeError):
        mesh.merge_coplanar_faces("1e-9")


def test_what_cannot_be_merged_or_wound_stays_as_it_is():
    # A square ring in eight triangles: two outlines.
    ring = [(0, 0, 0), (3, 0, 0), (3, 3, 0), (0, 3, 0), (1, 1, 0), (2, 1, 0), (2, 2, 0), (1, 2, 0)]
    triangles = [[0, 1, 5], [0, 5, 4], [1, 2, 6], [1, 6, 5], [2, 3, 7], [2, 7, 6], [3, 0, 4], [3, 4, 7]]
    assert make_mesh(ring, triangles).merge_coplanar_faces().faces == triangles
    # Two squares touching at a corner merge each on its own; two triangles wound against each other stay.
    bow = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (2, 1, 0), (2, 2, 0), (1, 2, 0)]
    touching = [[0, 1, 2], [0, 2, 3], [2, 4, 5], [2, 5, 6]]
    assert make_mesh(bow, touching).merge_coplanar_faces().faces == [[0, 1, 2, 3], [2, 4, 5, 6]]
    against = make_mesh(bow, [[0, 1, 2], [2, 0, 3]])
    assert against.merge_coplanar_faces().faces == [[0, 1, 2], [2, 0, 3]]
    # An open or flat shell is wound alike, keeping the winding of its lowest face; nothing is lost.
    assert against.orient_outward().faces == [[0, 1, 2], [3, 0, 2]]
    empty = Mesh([], [])
    for method in (Mesh.merge_equal_vertices, Mesh.orient_outward, Mesh.merge_coplanar_faces):
        assert method(empty).faces == [] and len(method(make_mesh(bow, [])).vertices) == 7


def test_equal_vertices_are_equal_coordinates():
    points = [(0.0, 1.0, 2.0), (-0.0, 1.0, 2.0), (math.nan, 0, 0), (math.nan, 0, 0), (0.0, 1.0, 2.0 + 1e-15)]
    merged = make_mesh(points, [[0, 1, 4], [2, 3, 1]]).merge_equal_vertices()
    assert exact_points(mesh_points(merged)) == exact_points([points[0]] + points[2:])
    assert merged.faces == [[0, 0, 3], [1, 2, 0]]


def test_face_normals_and_a_selection_of_faces():
    np = pytest.importorskip("numpy")
    mesh = make_mesh(BOX, BOX_TRIANGLES + [(0, 1, 0)])  # and a face without area
    normals = mesh.face_normals()
    assert normals.shape == (13, 3) and normals.dtype == np.float64 and np.isnan(normals[12]).all()
    assert [tuple(n) for n in normals[:12:2]] == [(0, 0, -1), (0, 0, 1), (0, -1, 0), (0, 1, 0), (-1, 0, 0), (1, 0, 0)]
    assert (normals[:12:2] == normals[1:12:2]).all()
    top = mesh.select_faces(np.flatnonzero(normals[:, 2] > 0.5))
    assert top.faces == [[4, 5, 7], [4, 7, 6]] and len(top.vertices) == 8
    assert mesh.select_faces([12, 0, 0]).faces == [[0, 1, 0], [0, 2, 3], [0, 2, 3]]
    assert mesh.select_faces([]).faces == [] and Mesh([], []).face_normals().shape == (0, 3)
    with pytest.raises(IndexError, match=r"^Face position 13 is out of range for 13 faces\.$"):
        mesh.select_faces([0, 13])
    with pytest.raises(TypeError):
        mesh.select_faces([1.0])


def test_a_cone_of_many_sides_merges_its_base_fanned_from_its_centre():
    # The base's centre and the apex come first, so that the edges of each are sorted in one long run.
    sides = 60
    ring = [(math.cos(2 * math.pi * k / sides), math.sin(2 * math.pi * k / sides), 0.0) for k in range(sides)]
    points = [(0.0, 0.0, 0.0), (0.0, 0.0, 2.0)] + ring
    centre, apex, around = 0, 1, [2 + k for k in range(sides)]
    triangles = [[a, b, centre] for a, b in zip(around, around[1:] + around[:1])]  # facing up: inward
    triangles += [[a, b, apex] if a % 3 else [apex, b, a] for a, b in zip(around, around[1:] + around[:1])]
    merged = make_mesh(points, triangles).orient_outward().merge_coplanar_faces()
    assert merged.faces[0] == [around[(1 - k) % sides] for k in range(sides)]  # the base, facing down
    assert len(merged.faces) == 1 + sides and signed_volume(merged) > 0
    sharing = edge_sharing(triangles)
    wound = reference_orient(points, triangles, sharing)
    assert merged.faces == reference_merge_coplanar(points, wound, sharing)
