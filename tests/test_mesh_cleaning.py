import ctypes
import math
import platform
import random
import sys

import pytest

from helpers import assert_noted
from mesh_support import exact_mesh, exact_points, make_mesh, mesh_points
from support.reference_mesh import reference_clean
from velmarin import Mesh


def cleaned(points, faces, tolerance):
    return exact_mesh(make_mesh(points, faces).clean(tolerance))


def expected(points, faces, tolerance):
    new_points, new_faces = reference_clean(points, faces, tolerance)
    return exact_points(new_points), new_faces


class TestCellKeys:
    def test_neighbours_in_different_cells_stay_apart(self):
        result = make_mesh([(0.04, 0, 0), (0.06, 0, 0), (0.14, 0, 0)], []).clean(0.1)
        assert mesh_points(result) == [(0.04, 0, 0), (0.06, 0, 0)]

    def test_first_vertex_of_a_cell_survives_unchanged(self):
        result = make_mesh([(0.14, 0, 0), (0.06, 0, 0), (0.0999, 0.01, -0.04)], []).clean(0.1)
        assert mesh_points(result) == [(0.14, 0, 0)]

    def test_halves_round_away_from_zero(self):
        points = [(0.5, 0, 0), (1.4, 0, 0), (-0.5, 0, 0), (-1.4, 0, 0), (0.49999999999999994, 0, 0), (0, 0, 0)]
        assert mesh_points(make_mesh(points, []).clean(1.0)) == [(0.5, 0, 0), (-0.5, 0, 0), (0.49999999999999994, 0, 0)]

    def test_rounding_at_the_edges_of_exact_arithmetic(self):
        # Each value beside the whole numbers on either side of it: the cell
        # it joins shows how it was rounded.
        # Every component: x and y are rounded side by side, z alone.
        edges = [
            0.5,
            1.5,
            2.5,
            0.49999999999999994,
            2.0**51 - 0.5,
            2.0**51 - 1.5,
            2.0**51 + 0.5,
            2.0**51 + 1.5,
            2.0**52 - 0.5,
            2.0**52 - 1.5,
            2.0**52,
            2.0**52 + 2,
            2.0**53 + 2,
            2.0**62 + 2048,
            2.0**63 - 1024,
            2.0**63,
            1e300,
            5e-324,
        ]
        values = [sign * v for v in edges for sign in (1, -1)]
        near = [c for v in values for c in (v, math.floor(v) - 1.0, math.floor(v), math.ceil(v), math.ceil(v) + 1.0)]
        points = [p for c in near for p in ((c, 0, 0), (0, c, 0), (0, 0, c), (c, c, c))]
        assert cleaned(points, [], 1.0) == expected(points, [], 1.0)

    @pytest.mark.skipif(
        platform.machine() not in ("x86_64", "AMD64") or sys.platform != "linux",
        reason="x86 rounding modes through glibc",
    )
    def test_rounding_does_not_follow_the_floating_point_mode(self):
        # Quotients here are exact, so only the rounding rule decides.
        points = [(x, -x, x / 2) for x in (0.3, 0.5, 0.7, 1.5, 2.5, -0.3, -0.5, -2.5)]
        libm = ctypes.CDLL("libm.so.6")
        upward, downward, nearest = 0x800, 0x400, 0
        for mode in (upward, downward):
            libm.fesetround(mode)
            try:
                result = make_mesh(points, []).clean(1.0)
            finally:
                libm.fesetround(nearest)
            assert exact_mesh(result) == expected(points, [], 1.0)

    def test_zero_tolerance_groups_by_sign(self):
        points = [(1, 2, 0), (5, 1e-300, 0), (-1, 2, 0), (-0.0, 3, 0.0), (0, 4, -0.0), (1e308, 7, 0)]
        assert mesh_points(make_mesh(points, []).clean(0.0)) == [(1, 2, 0), (-1, 2, 0), (-0.0, 3, 0.0)]

    def test_negative_tolerance_merges_like_its_absolute_value(self):
        rng = random.Random(3)
        points = [tuple(rng.uniform(-2, 2) for _ in range(3)) for _ in range(300)]
        mesh = make_mesh(points, [])
        assert exact_mesh(mesh.clean(-0.5)) == exact_mesh(mesh.clean(0.5))

    @pytest.mark.parametrize("tolerance", [math.inf, -math.inf, math.nan])
    def test_non_finite_tolerance_merges_everything(self, tolerance):
        mesh = make_mesh([(3, 4, 5), (-1, 0, 9), (0, 0, 0)], [[0, 1, 2], [2, 1, 0, 1]])
        result = mesh.clean(tolerance)
        assert mesh_points(result) == [(3, 4, 5)] and result.faces == []

    def test_huge_quotients_saturate(self):
        points = [(1e300, -1e300, 0), (2e300, -3e300, 0.1), (9.3e18, -9.3e18, 0), (-9.2e18, 0, 0)]
        assert mesh_points(make_mesh(points, []).clean(1.0)) == [(1e300, -1e300, 0), (-9.2e18, 0, 0)]

    def test_nan_coordinates_fall_into_cell_zero(self):
        result = make_mesh([(0.2, 0, 0), (math.nan, 0.1, -0.3)], []).clean(1.0)
        assert len(result.vertices) == 1


class TestFaces:
    square = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (1, 1.01, 0)]

    def test_quad_with_welded_corners_becomes_triangle(self):
        assert make_mesh(self.square, [[0, 1, 2, 3]]).clean(0.1).faces == [[0, 1, 2]]

    def test_triangle_with_welded_corners_is_dropped(self):
        assert make_mesh(self.square, [[1, 2, 3], [0, 1, 2]]).clean(0.1).faces == [[0, 1, 2]]

    def test_closing_repeat_is_removed_once(self):
        mesh = make_mesh(self.square[:3], [[0, 1, 2, 0], [0, 1, 0], [0, 1, 0, 2], [0, 0, 1, 1, 2, 2, 0, 0]])
        assert mesh.clean(0.001).faces == [[0, 1, 2], [0, 1, 0, 2], [0, 1, 2]]

    def test_dropped_faces_at_either_end_and_all_of_them(self):
        # Faces are stored end to end: what is dropped at the ends, or
        # everywhere, must leave the runs consistent.
        mesh = make_mesh(self.square, [[1, 2, 3], [0, 1, 2, 3, 0], [0, 1, 2], [2, 3, 2]])
        cleaned_mesh = mesh.clean(0.1)
        assert cleaned_mesh.faces == [[0, 1, 2], [0, 1, 2]]
        assert cleaned_mesh.clean(0.1).faces == cleaned_mesh.faces
        assert make_mesh(self.square, [[1, 2, 3], [2, 3, 2]]).clean(0.1).faces == []

    def test_collinear_faces_are_kept(self):
        mesh = make_mesh([(0, 0, 0), (1, 0, 0), (2, 0, 0)], [[0, 1, 2]])
        assert mesh.clean(0.1).faces == [[0, 1, 2]]

    def test_unreferenced_vertices_are_kept(self):
        result = make_mesh(self.square + [(7, 7, 7)], []).clean(0.1)
        assert len(result.vertices) == 4 and result.faces == []

    def test_receiver_is_unchanged(self):
        mesh = make_mesh(self.square, [[0, 1, 2, 3]])
        before = exact_mesh(mesh)
        mesh.clean(10.0)
        assert exact_mesh(mesh) == before


class TestAgainstReference:
    @pytest.mark.parametrize("seed", range(12))
    def test_random_meshes(self, seed):
        rng = random.Random(seed)
        tolerance = rng.choice([0.5, 0.25, 1.0, 0.1, 3.0, -0.5, 1e-3])
        values = [rng.randint(-8, 8) * 0.25 for _ in range(10)] + [-0.0, 0.0, 0.1, -0.35]

        def coordinate():
            return rng.choice(values) if rng.random() < 0.6 else rng.uniform(-3, 3)

        points = [(coordinate(), coordinate(), coordinate()) for _ in range(rng.randint(0, 120))]
        faces = []
        if points:
            for _ in range(rng.randint(0, 150)):
                face = [rng.randrange(len(points)) for _ in range(rng.randint(3, 7))]
                if rng.random() < 0.3:
                    face.append(face[0])
                faces.append(face)
        assert cleaned(points, faces, tolerance) == expected(points, faces, tolerance)

    @pytest.mark.parametrize("tolerance", [0.05, 1.0])
    def test_many_cells(self, tolerance):
        # Enough distinct cells for the weld map to grow several times over.
        # Cell keys of up to 21 bits a component are kept packed, others
        # whole: components on either side of +-2**20 cells, saturated and
        # NaN ones share meshes and faces with ordinary ones.
        rng = random.Random(42)

        def near_packing_edge():
            return rng.choice([-1, 1]) * (2**20 + rng.randint(-30, 30) + rng.choice([0.0, 0.3, 0.5, -0.5])) * tolerance

        def coordinate():
            return rng.choice(
                [rng.uniform(-20, 20), rng.randint(-40, 40) / 2, 1e300, -0.0, near_packing_edge(), math.nan, -math.inf]
            )

        points = [(coordinate(), coordinate(), coordinate()) for _ in range(20_000)]
        faces = [[rng.randrange(len(points)) for _ in range(3)] for _ in range(5_000)]
        assert cleaned(points, faces, tolerance) == expected(points, faces, tolerance)

    @pytest.mark.parametrize("tolerance", [0.1, 0.37, 2.0])
    def test_cleaning_is_idempotent(self, tolerance):
        rng = random.Random(99)
        points = [tuple(rng.uniform(-1, 1) for _ in range(3)) for _ in range(400)]
        faces = [[rng.randrange(400) for _ in range(rng.randint(3, 5))] for _ in range(300)]
        once = make_mesh(points, faces).clean(tolerance)
        assert exact_mesh(once.clean(tolerance)) == exact_mesh(once)


class TestInterface:
    def test_tolerance_conversion(self):
        mesh = make_mesh([(0, 0, 0), (0.4, 0, 0)], [])
        assert len(mesh.clean(1).vertices) == 1
        assert len(mesh.clean(tolerance=True).vertices) == 1
        with pytest.raises(TypeError) as info:
            mesh.clean("1")
        assert_noted(info.value, "tolerance")
        with pytest.raises(TypeError, match="missing 1 required positional argument: 'tolerance'"):
            mesh.clean()

    def test_docs(self):
        assert Mesh.clean.__text_signature__ == "($self, tolerance)"
        assert Mesh.clean.__doc__ == "Performs O(N) vertex welding and filters out degenerate/collapsed faces."
