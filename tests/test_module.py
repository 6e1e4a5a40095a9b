"""The module object, its registry of classes and the shape they share."""

import copy
import importlib.util
import pickle
import shutil
import subprocess
import sys
import weakref

import pytest

import velmarin
from velmarin import Mesh, SpatialRegistry, TopologicalEntity, Vector3D, Wire

# The full registration order; classes not built yet are simply absent.
REGISTRATION_ORDER = [
    "Vector3D",
    "GraphNode",
    "GraphEdge",
    "WireContact",
    "SpatialGraph",
    "Wire",
    "Mesh",
    "TopologicalEntity",
    "SpatialRegistry",
    "IfcParser",
    "boolean_join_extruded",
]


def test_all_lists_the_registered_names_in_order():
    assert velmarin.__all__ == [n for n in REGISTRATION_ORDER if n in velmarin.__all__]
    assert {"Vector3D", "Wire", "Mesh", "TopologicalEntity"} <= set(velmarin.__all__)
    for name in velmarin.__all__:
        assert getattr(velmarin, name).__name__ == name


@pytest.mark.skipif(not sys.platform.startswith("linux") or not shutil.which("nm"), reason="needs ELF and nm")
def test_the_entry_point_is_the_only_exported_symbol():
    listing = subprocess.run(
        ["nm", "-D", "--defined-only", velmarin.__file__], capture_output=True, text=True, check=True
    ).stdout
    assert [line.split()[-1] for line in listing.splitlines()] == ["PyInit_velmarin"]


def test_module_doc_is_empty_text():
    assert velmarin.__doc__ == ""


@pytest.mark.parametrize(
    "cls, signature, sentence",
    [
        (Vector3D, "(x, y, z)", "Standard 3D vector representation."),
        (Wire, "(start, end)", "Represents a 1D linear element (columns, beams, or wires)."),
        (
            Mesh,
            "(vertices, faces)",
            "A high-performance polygonal mesh representation tailored for architectural geometry.",
        ),
        (TopologicalEntity, "(id, entity_type, parent_id)", "Represents any entity inside the topological hierarchy."),
        (
            SpatialRegistry,
            "(meshes, wires, apertures)",
            "The main high-performance workspace container managing multi-mesh and multi-dimensional spatial elements.",
        ),
    ],
)
def test_class_docs_and_signatures(cls, signature, sentence):
    assert cls.__module__ == "builtins"
    assert cls.__qualname__ == cls.__name__
    # 3.9 drops the signature of heap types; later interpreters keep it.
    assert cls.__text_signature__ == (signature if sys.version_info >= (3, 10) else None)
    assert cls.__doc__ == sentence


def test_method_docs():
    assert Mesh.validate.__doc__ is None
    assert Mesh.validate.__text_signature__ == "($self)"
    assert Mesh.compute_volume_centroid.__doc__ == "Computes the 3D centroid of the entire mesh volume."
    assert Mesh.from_arrays.__text_signature__ == "(vertices, faces)"  # a static method
    assert Mesh.to_arrays.__text_signature__ == "($self)"
    assert SpatialRegistry.build_spatial_graph.__text_signature__ == "($self, tolerance)"
    assert SpatialRegistry.build_spatial_graph.__doc__ == (
        "Compiles the spatial Dual Graph, executing O(N) vertex welding, O(log N) R*-Tree lookup,\n"
        "3D ray-cast column detection, and exact 2D polygonal aperture subtractions."
    )


@pytest.mark.parametrize("cls", [Vector3D, Wire, Mesh, TopologicalEntity, SpatialRegistry])
def test_classes_are_final(cls):
    with pytest.raises(TypeError):
        type("Derived", (cls,), {})


def test_objects_have_no_dict_and_no_weakrefs():
    v = Vector3D(0, 0, 0)
    with pytest.raises(AttributeError):
        v.w = 1
    with pytest.raises(AttributeError):
        setattr(v, "w", 1)
    with pytest.raises(TypeError):
        weakref.ref(v)


def test_identity_equality_hashing_and_repr():
    a, b = Vector3D(1, 2, 3), Vector3D(1, 2, 3)
    assert a != b and a == a
    table = {a: "a", b: "b"}
    assert table[a] == "a" and table[b] == "b"
    assert repr(a).startswith("<builtins.Vector3D object at 0x")


def test_objects_refuse_pickling_and_copying():
    with pytest.raises(TypeError):
        pickle.dumps(Vector3D(1, 2, 3))
    with pytest.raises(TypeError):
        copy.copy(Vector3D(1, 2, 3))


def test_deleting_a_writable_property_is_refused():
    v = Vector3D(1, 2, 3)
    with pytest.raises(AttributeError, match="^property has no deleter$"):
        del v.x
    assert v.x == 1.0


def test_a_fresh_module_object_reuses_the_classes():
    spec = importlib.util.find_spec("velmarin")
    fresh = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(fresh)
    assert fresh is not velmarin
    assert fresh.Vector3D is velmarin.Vector3D
    assert fresh.__all__ == velmarin.__all__


def test_an_existing_all_that_is_not_a_list_fails_the_import():
    spec = importlib.util.find_spec("velmarin")
    fresh = importlib.util.module_from_spec(spec)
    fresh.__all__ = ("x",)
    with pytest.raises(TypeError, match="^'tuple' object is not an instance of 'list'$"):
        spec.loader.exec_module(fresh)


def test_an_existing_all_list_is_extended():
    spec = importlib.util.find_spec("velmarin")
    fresh = importlib.util.module_from_spec(spec)
    fresh.__all__ = ["mine"]
    spec.loader.exec_module(fresh)
    assert fresh.__all__ == ["mine"] + velmarin.__all__
