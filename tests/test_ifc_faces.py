"""The rooms and apertures velmarin_ifc makes of the shared models' solids
are, to the last bit, those that the face work in Python made of them; the
solids lie where the engine itself would place them."""

import numpy as np
import pytest

ifcopenshell = pytest.importorskip("ifcopenshell")
import ifcopenshell.geom  # noqa: E402, F811

from mesh_support import exact_mesh  # noqa: E402
from support.reference_mesh import reference_solid_faces  # noqa: E402
from support.space_boundaries import MODELS, SHARED, unpacked  # noqa: E402
from velmarin import Mesh, Vector3D  # noqa: E402
from velmarin_ifc._engine import KERNEL, element_shapes, engine_settings  # noqa: E402
from velmarin_ifc._geometry import FACING_UP, bounds, face_normal  # noqa: E402
from velmarin_ifc._model import Products  # noqa: E402
from velmarin_ifc._solids import WELD_CELL, opening_mesh, solid_mesh, tread_mesh, world_solids  # noqa: E402


def python_solid_mesh(solid):
    vertices, triangles = solid
    points, faces = reference_solid_faces([tuple(p) for p in vertices.tolist()], triangles.tolist())
    mesh = Mesh([Vector3D(*p) for p in points], faces).clean(WELD_CELL)
    return mesh if mesh.faces else None


def python_faces_where(mesh, keep):
    normals = [face_normal([mesh.vertices[i] for i in face]) for face in mesh.faces]
    kept = [face for face, n in zip(mesh.faces, normals) if n is not None and keep(n)]
    return Mesh(mesh.vertices, kept) if kept else None


def python_opening_mesh(solid):
    mesh = python_solid_mesh(solid)
    if mesh is None:
        return None
    (x0, y0, z0), (x1, y1, z1) = bounds(mesh.vertices)
    lying = z1 - z0 < min(x1 - x0, y1 - y0)
    return python_faces_where(mesh, lambda n: (abs(n[2]) > FACING_UP) == lying)


def python_tread_mesh(solid):
    mesh = python_solid_mesh(solid)
    return python_faces_where(mesh, lambda n: n[2] > FACING_UP) if mesh is not None else None


@pytest.mark.parametrize("name", MODELS)
def test_the_shared_models_meshes_are_unchanged(name, tmp_path):
    if not (SHARED / name).exists():
        pytest.skip(f"{SHARED / name} is not there")
    model = ifcopenshell.open(str(unpacked(name, tmp_path)))
    products = Products(model)
    solids = world_solids(element_shapes(model, products.all()))
    compared = 0
    for kind, native, python in [
        (products.spaces, solid_mesh, python_solid_mesh),
        (products.apertures, opening_mesh, python_opening_mesh),
        (products.flights, tread_mesh, python_tread_mesh),
    ]:
        for product in kind:
            solid = solids.get(product.id())
            if solid is not None:
                made, expected = native(solid), python(solid)
                assert (made is None) == (expected is None)
                assert made is None or exact_mesh(made) == exact_mesh(expected)
                compared += 1
    assert compared > 50


@pytest.mark.parametrize("name", MODELS)
def test_the_shapes_placed_here_lie_where_the_engine_places_them(name, tmp_path):
    """The engine makes each shape once in its element's coordinates; placed
    here, every element's vertices are those the engine gives in world
    coordinates, to the rounding (its triangles may run another way)."""
    if not (SHARED / name).exists():
        pytest.skip(f"{SHARED / name} is not there")
    model = ifcopenshell.open(str(unpacked(name, tmp_path)))
    products = Products(model).all()
    placed = world_solids(element_shapes(model, products))
    settings = engine_settings()
    settings.set("use-world-coords", True)
    iterator = ifcopenshell.geom.iterator(settings, model, 1, include=products, geometry_library=KERNEL)
    assert iterator.initialize()
    compared = 0
    while True:
        shape = iterator.get()
        expected = np.unique(np.frombuffer(shape.geometry.verts_buffer, np.float64).reshape(-1, 3), axis=0)
        made = np.unique(placed.pop(shape.id)[0], axis=0)
        assert made.shape == expected.shape and np.abs(made - expected).max(initial=0.0) < 1e-12
        compared += 1
        if not iterator.next():
            break
    assert not placed and compared > 50


def test_shapes_are_placed_each_by_its_own_placement_sharing_their_triangles():
    from velmarin_ifc._solids import Shape, column_wire

    vertices, triangles = np.array([[1.0, 0.0, 0.0], [0.0, 2.0, 3.0]]), np.zeros((0, 3), np.int64)
    turned = np.array([[0.0, -1.0, 0.0, 10.0], [1.0, 0.0, 0.0, 20.0], [0.0, 0.0, 1.0, 30.0]])  # a quarter turn, moved
    kept = np.hstack([np.eye(3), np.zeros((3, 1))])
    empty = Shape(np.zeros((0, 3)), triangles, turned)
    placed = world_solids({7: Shape(vertices, triangles, turned), 8: empty, 9: Shape(vertices, triangles, kept)})
    assert list(placed) == [7, 8, 9]
    assert placed[7][0].tolist() == [[10.0, 21.0, 30.0], [8.0, 20.0, 33.0]]
    assert placed[8][0].shape == (0, 3) and column_wire(placed[8]) is None
    assert placed[9][0].tolist() == vertices.tolist() and placed[9][1] is triangles
    assert world_solids({}) == {}
