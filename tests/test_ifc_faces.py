"""The rooms and apertures velmarin_ifc makes of the shared models' solids
are, to the last bit, those the plain Python version of the face work made."""
import gzip

import pytest

ifcopenshell = pytest.importorskip("ifcopenshell")

from mesh_support import exact_mesh  # noqa: E402
from space_boundaries import MODELS, SHARED  # noqa: E402
from velmarin import Mesh, Vector3D  # noqa: E402
from velmarin_ifc._faces import solid_faces  # noqa: E402
from velmarin_ifc._geometry import WELD_CELL, element_solids, shared_corners, solid_mesh  # noqa: E402
from velmarin_ifc._reading import Products  # noqa: E402



def python_mesh(solid):
    points, indices = shared_corners(solid)
    corners = iter(indices)
    faces = solid_faces(points, list(zip(corners, corners, corners)))
    mesh = Mesh([Vector3D(x, y, z) for x, y, z in points], faces).clean(WELD_CELL)
    return mesh if mesh.faces else None


@pytest.mark.parametrize("name", MODELS)
def test_the_shared_models_meshes_are_unchanged(name):
    path = SHARED / name
    if not path.exists():
        pytest.skip(f"{path} is not there")
    model = ifcopenshell.file.from_string(gzip.decompress(path.read_bytes()).decode())
    products = Products(model)
    solids = element_solids(model, products.spaces + products.apertures)
    assert len(solids) > 50
    for solid in solids.values():
        native, python = solid_mesh(solid), python_mesh(solid)
        assert (native is None) == (python is None)
        assert native is None or exact_mesh(native) == exact_mesh(python)
