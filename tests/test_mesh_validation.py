import math

import pytest

from mesh_support import make_mesh, mesh_points
from velmarin import Mesh, Vector3D

TRIANGLE = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]


class TestValidation:
    def test_empty_mesh_is_valid(self):
        mesh = Mesh([], [])
        assert mesh.vertices == [] and mesh.faces == []
        assert mesh.validate() is None

    def test_short_face_fails_before_its_indices_are_looked_at(self):
        with pytest.raises(ValueError, match=r"^Face 0 has < 3 vertices\.$"):
            make_mesh(TRIANGLE, [[0, 1]])
        with pytest.raises(ValueError, match=r"^Face 1 has < 3 vertices\.$"):
            make_mesh(TRIANGLE, [[0, 1, 2], [8, 9], [0, 1, 99]])

    def test_first_out_of_range_index_is_named(self):
        with pytest.raises(IndexError, match=r"^Face 1 references out-of-bounds index 7\.$"):
            make_mesh(TRIANGLE, [[0, 1, 2], [0, 1, 7], [0, 9, 2]])
        with pytest.raises(IndexError, match=r"^Face 0 references out-of-bounds index 3\.$"):
            make_mesh(TRIANGLE, [[0, 3, 2**64 - 1]])
        with pytest.raises(IndexError, match=r"out-of-bounds index 18446744073709551615\.$"):
            make_mesh(TRIANGLE, [[0, 2**64 - 1, 1]])

    def test_degenerate_but_well_formed_faces_pass(self):
        mesh = make_mesh(TRIANGLE + [(5, 5, 5)], [[0, 0, 0], [0, 1, 0, 2], list(range(4)) * 3])
        assert mesh.validate() is None
        assert mesh.faces == [[0, 0, 0], [0, 1, 0, 2], list(range(4)) * 3]


class TestReadBack:
    def test_getters_return_fresh_copies(self):
        mesh = make_mesh(TRIANGLE, [[0, 1, 2]])
        faces = mesh.faces
        faces[0].append(5)
        faces.append([1, 1, 1])
        vertices = mesh.vertices
        vertices[0].x = 42.0
        vertices.pop()
        assert mesh.faces == [[0, 1, 2]]
        assert mesh_points(mesh) == [(0, 0, 0), (1, 0, 0), (0, 1, 0)]
        assert mesh.vertices[0] is not mesh.vertices[0]

    def test_constructor_copies_its_vectors(self):
        p = Vector3D(1, 2, 3)
        mesh = Mesh([p], [])
        p.x = 9.0
        assert mesh_points(mesh) == [(1, 2, 3)]

    def test_values_survive_exactly(self):
        points = [(-0.0, math.inf, -math.inf), (5e-324, 1.7976931348623157e308, 0.1)]
        mesh = make_mesh(points, [[0, 1, 0], [1, 1, 1, 1, 1]])
        assert [tuple(map(repr, p)) for p in mesh_points(mesh)] == [tuple(map(repr, p)) for p in points]
        assert mesh.faces == [[0, 1, 0], [1, 1, 1, 1, 1]]

    def test_attributes_are_read_only(self):
        mesh = Mesh([], [])
        with pytest.raises(AttributeError):
            mesh.faces = []
        with pytest.raises(AttributeError):
            mesh.extra = 1


class TestCentroid:
    def test_mean_of_all_vertices_including_unused_ones(self):
        cube = [(x, y, z) for x in (0, 1) for y in (0, 1) for z in (0, 1)]
        mesh = make_mesh(cube + [(90, 0, -9)], [[0, 1, 3, 2]])
        c = mesh.compute_volume_centroid()
        assert (c.x, c.y, c.z) == (94 / 9, 4 / 9, -5 / 9)

    def test_sum_is_left_to_right_then_one_division(self):
        points = [(1e16, 0.1, 3.0), (1.0, 0.2, -0.0), (1.0, 0.3, 1e-300), (-1e16, 0.4, 7.0)]
        c = make_mesh(points, []).compute_volume_centroid()
        expected = [sum_left_to_right(axis) / 4 for axis in zip(*points)]
        assert [c.x, c.y, c.z] == expected

    def test_repeated_positions_count_twice(self):
        c = make_mesh([(0, 0, 0), (3, 3, 3), (3, 3, 3)], []).compute_volume_centroid()
        assert (c.x, c.y, c.z) == (2, 2, 2)

    def test_lone_negative_zero_keeps_its_sign(self):
        c = make_mesh([(-0.0, 0.0, -0.0)], []).compute_volume_centroid()
        assert [math.copysign(1, v) for v in (c.x, c.y, c.z)] == [-1, 1, -1]

    def test_empty_mesh_gives_nan(self):
        c = Mesh([], []).compute_volume_centroid()
        assert all(math.isnan(v) for v in (c.x, c.y, c.z))


def sum_left_to_right(values):
    total = -0.0
    for v in values:
        total += v
    return total
