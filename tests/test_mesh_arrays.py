"""Mesh.from_arrays and Mesh.to_arrays: numpy arrays in and out, checked
against the list constructor and the list getters."""

import random
import subprocess
import sys

import pytest

from helpers import assert_noted, module_env
from mesh_support import exact_mesh, exact_points, make_mesh, mesh_points, random_mesh_data
from velmarin import Mesh, Vector3D

try:
    import numpy as np
except ImportError:  # the other interpreters' test environments have only pytest
    np = None

needs_numpy = pytest.mark.skipif(np is None, reason="needs numpy")

SQUARE = [(0.0, 0.0, 0.0), (1.0, 0.0, 0.0), (1.0, 1.0, 0.0), (0.0, 1.0, 0.0)]

# Argument, refusal and its text (None: numpy's or the interpreter's own).
BAD_INPUT = (
    []
    if np is None
    else [
        (
            np.zeros((2, 3), dtype=complex),
            [],
            TypeError,
            "vertices must hold real numbers; numpy reads them as complex128",
        ),
        ([["1", "2", "3"]], [], TypeError, "vertices must hold real numbers; numpy reads them as <U1"),
        (np.ones((1, 3), dtype=bool), [], TypeError, "vertices must hold real numbers; numpy reads them as bool"),
        ([Vector3D(0, 0, 0)], [], TypeError, "vertices must hold real numbers; numpy reads them as object"),
        (np.zeros((4, 2)), [], ValueError, "vertices must have the shape (n, 3); numpy reads them as (4, 2)"),
        ([0.0, 1.0, 2.0], [], ValueError, "vertices must have the shape (n, 3); numpy reads them as (3,)"),
        (np.zeros((1, 1, 3)), [], ValueError, "vertices must have the shape (n, 3); numpy reads them as (1, 1, 3)"),
        ([[0, 0, 0], [1, 1]], [], ValueError, None),  # numpy's own refusal of ragged rows
        (SQUARE, np.zeros((1, 3)), TypeError, "faces must hold integers; numpy reads them as float64"),
        (SQUARE, np.ones((1, 3), dtype=bool), TypeError, "faces must hold integers; numpy reads them as bool"),
        (SQUARE, np.arange(3), ValueError, "faces must have the shape (m, k); numpy reads them as (3,)"),
        (SQUARE, np.array([[0, 1, 2], [3, -1, 0]]), ValueError, "Face 1 references negative index -1."),
        (SQUARE, [[0, 1, 9], (3, -1, 0)], ValueError, "Face 1 references negative index -1."),
        (
            SQUARE,
            [[0, 1, 2], [3, -(2**70), 0]],
            ValueError,
            "Face 1 references negative index -1180591620717411303424.",
        ),
        (SQUARE, [[0, 1, 2.0]], TypeError, None),  # as Mesh(...) refuses them
        (SQUARE, [[0, 1, 2**64]], OverflowError, None),
        (SQUARE, "012", TypeError, "Can't extract `str` to `Vec`"),
    ]
)


def outcome(make, vertices, faces):
    """The mesh made, exactly, or the type and text of the refusal."""
    try:
        return exact_mesh(make(vertices, faces))
    except (TypeError, ValueError, IndexError, OverflowError) as error:
        return type(error), str(error)


@needs_numpy
class TestFromArrays:
    @pytest.mark.parametrize("seed", range(8))
    def test_every_layout_gives_what_the_list_constructor_gives(self, seed):
        rng = random.Random(seed)
        width = 3 + seed % 3 if seed % 2 else None
        points, faces = random_mesh_data(rng, width=width, valid=seed % 4 > 1)
        expected = outcome(make_mesh, points, faces)
        array = np.array(points).reshape(-1, 3)
        misaligned = np.frombuffer(bytearray(array.nbytes + 1), dtype=np.float64, offset=1).reshape(-1, 3)
        misaligned[:] = array
        read_only = np.frombuffer(array.tobytes(), dtype=np.float64).reshape(-1, 3)  # read as it is, not copied
        vertex_layouts = [
            points,
            array,
            np.asfortranarray(array),
            np.repeat(array, 2, axis=0)[::2],
            misaligned,
            read_only,
        ]
        face_layouts = [
            faces,
            tuple(map(tuple, faces)),
            [np.array(f) for f in faces],
            np.array(faces + [[0, 0, 0, 0]], dtype=object)[:-1],
        ]  # an array of faces
        if width:
            block = np.array(faces, dtype=np.int64).reshape(-1, width)
            face_layouts += [
                block,
                np.asfortranarray(block.astype(np.uint16)),
                block.astype(np.uint64),
                block.astype(np.int32)[::-1][::-1],
                np.frombuffer(block.tobytes(), np.int64).reshape(block.shape),
            ]
        for vertices in vertex_layouts:
            for layout in face_layouts:
                assert outcome(Mesh.from_arrays, vertices, layout) == expected

    @pytest.mark.parametrize("dtype", ["float32", "float16", "longdouble", ">f8", "int8", "uint64"])
    def test_any_real_dtype_reads_as_its_values_do(self, dtype):
        rng = random.Random(dtype)
        points, faces = random_mesh_data(rng, width=3)
        if np.dtype(dtype).kind != "f":
            points = [[rng.randint(0, 100) for _ in range(3)] for _ in points]
        values = np.array(points).astype(dtype)
        by_list = Mesh([Vector3D(*row) for row in values], faces)  # each numpy scalar through float()
        assert exact_mesh(Mesh.from_arrays(values, np.array(faces))) == exact_mesh(by_list)

    def test_nothing_in_nothing_out(self):
        for vertices, faces in [([], []), (np.empty((0, 3)), np.empty((0, 3), dtype=np.int64)), ([], np.array([]))]:
            mesh = Mesh.from_arrays(vertices, faces)
            assert mesh.vertices == [] and mesh.faces == []

    # Every numpy dtype: its one-letter codes (complex, text, times, void, object included), a
    # structured one and, where numpy has it, variable-length text.
    @pytest.mark.filterwarnings("error")
    @pytest.mark.parametrize(
        "dtype",
        []
        if np is None
        else sorted(set(np.typecodes["All"]))
        + [
            np.dtype([("a", "i4"), ("b", "c16")]),
            *([np.dtypes.StringDType()] if hasattr(np, "dtypes") and hasattr(np.dtypes, "StringDType") else []),
        ],
        ids=str,
    )
    def test_an_empty_faces_array_of_any_dtype_is_no_face_without_a_warning(self, dtype):
        for shape in [(0,), (0, 3), (0, 5)]:
            assert Mesh.from_arrays(SQUARE, np.empty(shape, dtype=dtype)).faces == []
        with pytest.raises(ValueError, match=r"^Face 0 has < 3 vertices\.$"):  # empty rows are faces still
            Mesh.from_arrays(SQUARE, np.empty((2, 0), dtype=dtype))

    def test_validation_is_the_list_constructors(self):
        for faces in ([[0, 1, 2], [0, 1, 2**64 - 1]], [[0, 1, 2], [2, 9, 1], [7, 7, 7]], [[0, 1], [0, 9]]):
            assert outcome(Mesh.from_arrays, SQUARE, np.array(faces, dtype=np.uint64)) == outcome(
                make_mesh, SQUARE, faces
            )

    def test_rows_too_short_for_a_face_are_not_all_read(self):
        # A block of empty rows occupies no memory, whatever it claims.
        with pytest.raises(ValueError, match=r"^Face 0 has < 3 vertices\.$"):
            Mesh.from_arrays(SQUARE, np.empty((2**40, 0), dtype=np.int64))

    @pytest.mark.parametrize("vertices, faces, error, text", BAD_INPUT)
    def test_bad_input_is_refused_and_names_its_argument(self, vertices, faces, error, text):
        with pytest.raises(error) as caught:
            Mesh.from_arrays(vertices, faces)
        assert text is None or str(caught.value) == text
        assert_noted(caught.value, "faces" if vertices is SQUARE else "vertices")

    def test_a_static_method_with_the_binding_rules(self):
        assert Mesh.from_arrays(faces=[[0, 1, 2]], vertices=SQUARE).faces == [[0, 1, 2]]
        with pytest.raises(TypeError, match=r"^Mesh.from_arrays\(\) missing 1 required positional argument: 'faces'$"):
            Mesh.from_arrays(SQUARE)


@needs_numpy
class TestToArrays:
    @pytest.mark.parametrize("seed", range(6))
    def test_arrays_hold_what_the_getters_hold_and_read_back(self, seed):
        rng = random.Random(100 + seed)
        width = 3 + seed % 2 if seed < 3 else None
        mesh = make_mesh(*random_mesh_data(rng, width=width))
        vertices, faces = mesh.to_arrays()
        assert vertices.dtype == np.float64 and vertices.shape == (len(mesh.vertices), 3)
        assert exact_points(vertices.tolist()) == exact_points(mesh_points(mesh))
        if isinstance(faces, tuple):  # lengths differ: compressed rows
            indices, offsets = faces
            assert indices.dtype == offsets.dtype == np.int64 and offsets[0] == 0 and offsets[-1] == len(indices)
            assert [indices[a:b].tolist() for a, b in zip(offsets[:-1], offsets[1:])] == mesh.faces
            faces = np.split(indices, offsets[1:-1])
        else:
            assert faces.dtype == np.int64 and faces.shape == (len(mesh.faces), len(mesh.faces[0]) if mesh.faces else 3)
            assert faces.tolist() == mesh.faces
        assert exact_mesh(Mesh.from_arrays(vertices, faces)) == exact_mesh(mesh)

    def test_slice_halves_and_an_empty_mesh_give_blocks_of_triangles(self):
        above, below = make_mesh(SQUARE, [[0, 1, 2, 3]]).slice_by_plane(Vector3D(1, 0, 0), Vector3D(5, 0, 0))
        assert [half.to_arrays()[1].shape for half in (above, below)] == [(0, 3), (2, 3)]
        vertices, faces = Mesh([], []).to_arrays()
        assert vertices.shape == faces.shape == (0, 3) and faces.dtype == np.int64

    def test_arrays_are_new_and_independent_of_the_mesh(self):
        mesh = make_mesh(SQUARE, [[0, 1, 2], [0, 2, 3]])
        vertices, faces = mesh.to_arrays()
        assert all(a.flags.c_contiguous and a.flags.writeable and a.flags.owndata for a in (vertices, faces))
        vertices[:] = 7.0
        faces[:] = 0
        assert mesh_points(mesh) == SQUARE and mesh.faces == [[0, 1, 2], [0, 2, 3]]
        again, _ = mesh.to_arrays()
        assert not np.shares_memory(again, vertices)

    def test_no_arguments(self):
        with pytest.raises(TypeError):
            Mesh([], []).to_arrays(1)


class TestWithoutNumpy:
    def test_importing_the_module_does_not_import_numpy(self):
        code = "import sys, velmarin; print('numpy' in sys.modules)"
        done = subprocess.run(
            [sys.executable, "-c", code], capture_output=True, text=True, timeout=60, env=module_env()
        )
        assert done.stdout == "False\n", done.stderr

    def test_the_array_methods_say_to_install_it(self, monkeypatch):
        monkeypatch.setitem(sys.modules, "numpy", None)  # import numpy now fails
        with pytest.raises(ImportError) as caught:
            Mesh.from_arrays([], [])
        assert caught.value.args == ("Mesh.from_arrays() needs numpy: install it with 'pip install numpy'",)
        assert isinstance(caught.value.__cause__, ImportError)
        assert_noted(caught.value, "vertices")
        with pytest.raises(ImportError) as caught:
            Mesh([], []).to_arrays()
        assert caught.value.args == ("Mesh.to_arrays() needs numpy: install it with 'pip install numpy'",)
