import math
import random

import pytest

from helpers import assert_noted
from mesh_support import exact_mesh, exact_points, make_mesh, mesh_points
from support.reference_mesh import reference_slice
from velmarin import Mesh, Vector3D


def sliced(points, faces, normal, origin):
    above, below = make_mesh(points, faces).slice_by_plane(Vector3D(*normal), Vector3D(*origin))
    return exact_mesh(above), exact_mesh(below)


def expected(points, faces, normal, origin):
    return tuple((exact_points(p), f) for p, f in reference_slice(points, faces, normal, origin))


UNIT_CUBE = [(x, y, z) for z in (0, 1) for y in (0, 1) for x in (0, 1)]
CUBE_FACES = [[0, 2, 3, 1], [4, 5, 7, 6], [0, 1, 5, 4], [2, 6, 7, 3], [0, 4, 6, 2], [1, 3, 7, 5]]


class TestNormal:
    @pytest.mark.parametrize("normal", [(0, 0, 0), (5e-9, 0, 0), (3e-9, 4e-9, 0), (-9e-9, 0, 0)])
    def test_short_normal_is_refused(self, normal):
        with pytest.raises(ValueError, match=r"^Invalid plane normal vector\.$"):
            make_mesh(UNIT_CUBE, CUBE_FACES).slice_by_plane(Vector3D(*normal), Vector3D(0, 0, 0))

    def test_normal_length_only_matters_through_its_direction(self):
        assert sliced(UNIT_CUBE, CUBE_FACES, (0, 0, 5), (0, 0, 0.5)) == sliced(
            UNIT_CUBE, CUBE_FACES, (0, 0, 1), (0, 0, 0.5)
        )
        # 1e-8 itself passes the check
        assert sliced(UNIT_CUBE, CUBE_FACES, (0, 0, 1e-8), (0, 0, 0.5)) == sliced(
            UNIT_CUBE, CUBE_FACES, (0, 0, 1), (0, 0, 0.5)
        )

    def test_nan_normal_puts_everything_below(self):
        above, below = make_mesh(UNIT_CUBE, CUBE_FACES).slice_by_plane(Vector3D(math.nan, 0, 1), Vector3D(0, 0, 0))
        assert above.vertices == [] and above.faces == []
        assert len(below.faces) == 12


class TestWholeTriangles:
    def test_plane_missing_the_mesh_fan_triangulates_everything_on_one_side(self):
        points = [(9, 9, 9), (0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1)]
        above, below = make_mesh(points, [[4, 3, 2, 1]]).slice_by_plane(Vector3D(0, 0, 1), Vector3D(0, 0, -3))
        assert mesh_points(above) == [(0, 1, 1), (1, 1, 1), (1, 0, 1), (0, 0, 1)]
        assert above.faces == [[0, 1, 2], [0, 2, 3]]
        assert below.vertices == [] and below.faces == []

    def test_vertex_on_the_plane_counts_as_above(self):
        points = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]
        above, below = make_mesh(points, [[0, 1, 2]]).slice_by_plane(Vector3D(0, 0, 1), Vector3D(0, 0, 0))
        assert above.faces == [[0, 1, 2]] and below.faces == []


class TestSplitTriangles:
    def test_cube_cut_in_the_middle_gives_two_open_halves(self):
        above, below = make_mesh(UNIT_CUBE, CUBE_FACES).slice_by_plane(Vector3D(0, 0, 1), Vector3D(0, 0, 0.5))
        for half, top in ((above, True), (below, False)):
            zs = [z for _, _, z in mesh_points(half)]
            assert all((z >= 0.5) if top else (z <= 0.5) for z in zs)
            assert not any(all(zs[i] == 0.5 for i in face) for face in half.faces)  # no cap
        # Its own cap (2 triangles) plus, for each side quad, one triangle with a
        # lone corner on this side (1) and one with two corners here (2).
        assert len(above.faces) == len(below.faces) == 2 + 4 * 3
        assert len(above.vertices) == len(below.vertices) == 4 + 4 * (3 + 2)

    def test_corner_on_the_plane_with_the_others_below(self):
        points = [(0, 0, 0), (1, 0, -1), (0, 1, -1)]
        above, below = make_mesh(points, [[0, 1, 2]]).slice_by_plane(Vector3D(0, 0, 1), Vector3D(0, 0, 0))
        assert mesh_points(above) == [(0, 0, 0)] * 3 and above.faces == [[0, 1, 2]]
        assert mesh_points(below) == [(1, 0, -1), (0, 1, -1), (0, 0, 0), (0, 0, 0)]
        assert below.faces == [[2, 0, 1], [2, 1, 3]]

    def test_two_corners_on_the_plane_and_one_below(self):
        points = [(0, 0, 0), (1, 0, 0), (0, 0, -1)]
        above, below = make_mesh(points, [[0, 1, 2]]).slice_by_plane(Vector3D(0, 0, 1), Vector3D(0, 0, 0))
        assert mesh_points(below) == [(0, 0, -1), (0, 0, 0), (1, 0, 0)] and below.faces == [[0, 1, 2]]
        assert mesh_points(above) == [(0, 0, 0), (1, 0, 0), (0, 0, 0), (1, 0, 0)]
        assert above.faces == [[2, 0, 1], [2, 1, 3]]

    def test_shared_corners_are_reused_but_cut_points_are_not(self):
        points = [(0, 0, -1), (1, 0, -1), (1, 1, 1), (0, 1, 1)]
        above, below = make_mesh(points, [[0, 1, 2], [0, 2, 3]]).slice_by_plane(Vector3D(0, 0, 1), Vector3D(0, 0, 0))
        assert len(below.vertices) == 2 + 2 + 3  # corners 0, 1 shared; cut points of each split triangle
        assert mesh_points(below).count((0, 0, -1)) == 2  # once reused, once as a lone corner


class TestAgainstReference:
    @pytest.mark.parametrize("seed", range(12))
    def test_random_meshes_and_planes(self, seed):
        rng = random.Random(1000 + seed)
        grid = [-1.0, -0.5, 0.0, 0.5, 1.0]

        def coordinate():
            return rng.choice(grid) if rng.random() < 0.4 else rng.uniform(-1, 1)

        points = [(coordinate(), coordinate(), coordinate()) for _ in range(rng.randint(3, 60))]
        faces = [[rng.randrange(len(points)) for _ in range(rng.randint(3, 6))] for _ in range(rng.randint(0, 80))]
        normal = rng.choice([(0, 0, 1), (1, -2, 0.5), (0, 1, 0), tuple(rng.uniform(-1, 1) for _ in range(3))])
        origin = rng.choice([(0, 0, 0), (0.5, 0.5, 0.5), tuple(rng.uniform(-1, 1) for _ in range(3))])
        assert sliced(points, faces, normal, origin) == expected(points, faces, normal, origin)

    def test_results_are_valid_meshes_and_the_receiver_is_unchanged(self):
        rng = random.Random(7)
        points = [tuple(rng.uniform(-1, 1) for _ in range(3)) for _ in range(50)]
        mesh = make_mesh(points, [[rng.randrange(50) for _ in range(4)] for _ in range(60)])
        before = exact_mesh(mesh)
        for half in mesh.slice_by_plane(Vector3D(1, 1, 1), Vector3D(0, 0, 0)):
            assert isinstance(half, Mesh) and half.validate() is None
            assert all(len(face) == 3 for face in half.faces)
        assert exact_mesh(mesh) == before


class TestInterface:
    def test_result_is_a_tuple_of_two_meshes(self):
        result = Mesh([], []).slice_by_plane(normal=Vector3D(0, 0, 1), origin=Vector3D(0, 0, 0))
        assert type(result) is tuple and len(result) == 2
        assert all(type(half) is Mesh and half.faces == [] for half in result)

    def test_arguments_are_converted_in_order(self):
        with pytest.raises(TypeError, match=r"^'tuple' object is not an instance of 'Vector3D'") as info:
            Mesh([], []).slice_by_plane((0, 0, 1), None)
        assert_noted(info.value, "normal")
        with pytest.raises(TypeError, match=r"^'None' is not an instance of 'Vector3D'") as info:
            Mesh([], []).slice_by_plane(Vector3D(0, 0, 1), None)
        assert_noted(info.value, "origin")

    def test_docs(self):
        assert Mesh.slice_by_plane.__text_signature__ == "($self, normal, origin)"
        assert Mesh.slice_by_plane.__doc__ == (
            "True 3D Freeform Mesh Slicing Engine. Splits an arbitrary mesh using a 3D Plane.\n"
            "Returns a tuple of two valid 3D meshes (above_plane_mesh, below_plane_mesh)."
        )
