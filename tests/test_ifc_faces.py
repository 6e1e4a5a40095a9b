"""The rooms and apertures velmarin_ifc makes of the engine's solids are, to
the last bit, those that the face work in Python made of them; the solids lie
where the engine itself would place them; and the solids velmarin makes
itself from the model's text are the engine's."""

from pathlib import Path

import numpy as np
import pytest

ifcopenshell = pytest.importorskip("ifcopenshell")
import ifcopenshell.geom  # noqa: E402, F811
import ifcopenshell.util.unit  # noqa: E402

from mesh_support import exact_mesh  # noqa: E402
from support.reference_mesh import reference_solid_faces  # noqa: E402
from support.space_boundaries import MODELS, SHARED, unpacked  # noqa: E402
from velmarin import IfcParser, Mesh, Vector3D  # noqa: E402
from velmarin_ifc._engine import KERNEL, element_shapes, engine_settings  # noqa: E402
from velmarin_ifc._geometry import FACING_UP, bounds, face_normal  # noqa: E402
from velmarin_ifc._model import Products, solids_ahead  # noqa: E402
from velmarin_ifc._solids import (  # noqa: E402
    WELD_CELL,
    opening_mesh,
    solid_mesh,
    solids_made_here,
    tread_mesh,
    world_solids,
)


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
    for kind, faces, python in [
        (products.spaces, lambda mesh: mesh, python_solid_mesh),
        (products.apertures, opening_mesh, python_opening_mesh),
        (products.flights, tread_mesh, python_tread_mesh),
    ]:
        for product in kind:
            solid = solids.get(product.id())
            if solid is not None:
                mesh = solid_mesh(solid)
                made, expected = faces(mesh) if mesh is not None else None, python(solid)
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
    assert placed[8][0].shape == (0, 3) and column_wire(Mesh.from_arrays(*placed[8])) is None
    assert placed[9][0].tolist() == vertices.tolist() and placed[9][1] is triangles
    assert world_solids({}) == {}


def solid_measures(mesh):
    """A solid's bounds, the area of its faces and the volume they enclose
    (each face fanned from its first corner)."""
    vertices, _ = mesh.to_arrays()
    area = volume = 0.0
    for face in mesh.faces:
        a, b, c = vertices[face[0]], vertices[list(face[1:-1])], vertices[list(face[2:])]
        area += np.linalg.norm(np.cross(b - a, c - a).sum(axis=0)) / 2
        volume += np.dot(a, np.cross(b, c).sum(axis=0)) / 6
    return np.concatenate([vertices.min(axis=0), vertices.max(axis=0)]), area, volume


# The elements whose solids velmarin makes itself, of all it reads: the
# terrace's stairs (a "hole" reaching out of its face) are the engine's, and
# the house has a room without a shape.
MADE_HERE = {MODELS[0]: (345, 360), MODELS[1]: (59, 59), MODELS[2]: (344, 344), "house": (41, 42)}


@pytest.mark.parametrize("name", [*MODELS, "house"])
def test_the_solids_made_here_are_the_engines(name, tmp_path):
    """Each solid velmarin makes from the model's text has the bounds, face
    area and volume of the engine's; where the engine splits a face into
    pieces a little out of its plane, which do not merge back, velmarin's
    face is whole, so faces are compared by what they cover."""
    if name == "house":
        path = tmp_path / "house.ifc"
        from support.examples import example

        example("ifc_model").write_model(path, example("ifc_model").house_layout(), "IFC2X3", True)
    elif not (SHARED / name).exists():
        pytest.skip(f"{SHARED / name} is not there")
    else:
        path = unpacked(name, tmp_path)
    model = ifcopenshell.open(str(path))
    products = Products(model).all()
    metres = ifcopenshell.util.unit.calculate_unit_scale(model)
    made = solids_made_here(path.read_bytes(), [p.id() for p in products], metres)
    assert (len(made), len(products)) == MADE_HERE[name]
    # Of each, velmarin keeps the faces that the rules for the engine's solids keep.
    kept = solids_made_here(
        path.read_bytes(),
        [p.id() for p, _ in Products(model).with_faces()],
        metres,
        [faces for _, faces in Products(model).with_faces()],
    )
    rules = {"all": lambda mesh: mesh, "opening": opening_mesh, "treads": tread_mesh}
    # Made ahead of ifcopenshell's parse, from the text alone, they are the same.
    unit, ahead = solids_ahead(str(path))
    assert unit == metres
    for product, faces in Products(model).with_faces():
        assert (
            exact_mesh(ahead[product.id()]) == exact_mesh(kept[product.id()])
            if product.id() in kept
            else (ahead[product.id()] is None)
        )
        if product.id() in made:
            expected = rules[faces](made[product.id()]) if made[product.id()].faces else None
            assert exact_mesh(kept[product.id()]) == exact_mesh(expected) if expected else not kept[product.id()].faces
    engine = world_solids(element_shapes(model, [p for p in products if p.id() in made]))
    for key, mesh in made.items():
        expected = solid_mesh(engine[key])
        assert (mesh.faces == []) == (expected is None)
        if expected is not None:
            bounds, area, volume = solid_measures(mesh)
            expected_bounds, expected_area, expected_volume = solid_measures(expected)
            # The engine's pieces stray from their plane by up to 2e-5 m.
            assert np.abs(bounds - expected_bounds).max() < 1e-9
            assert area == pytest.approx(expected_area, rel=1e-5)
            assert volume == pytest.approx(expected_volume, rel=1e-5)


@pytest.mark.parametrize("seed", ["units_si.ifc", "units_foot.ifc"])
def test_the_length_unit_told_from_the_text_is_ifcopenshells(seed):
    path = Path(__file__).parents[1] / "fuzz" / "corpus" / "element_bodies" / seed
    unit, elements, _ = IfcParser.model_solids(path.read_bytes(), ["IFCSPACE"], ["all"], WELD_CELL)
    assert unit == ifcopenshell.util.unit.calculate_unit_scale(ifcopenshell.open(str(path))) and elements == [10]
