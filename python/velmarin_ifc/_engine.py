"""ifcopenshell's geometry engine: the settings it runs with, and the shapes it makes."""

from __future__ import annotations

from collections.abc import Sequence
from typing import TYPE_CHECKING, Any

import ifcopenshell
import ifcopenshell.geom
import ifcopenshell.ifcopenshell_wrapper
import numpy as np
import numpy.typing as npt

from velmarin_ifc._cores import usable_cores
from velmarin_ifc._solids import Shape

if TYPE_CHECKING:
    from ifcopenshell import entity_instance

# The engine's Python layer is only partly typed.
geom: Any = ifcopenshell.geom

# The engine's kernel: the simple CGAL one, several times faster than
# OpenCASCADE on the extrusions and breps of rooms, doors and windows, which
# takes over wherever the simple one fails.
KERNEL = "hybrid-cgal-simple-opencascade"


def engine_settings() -> Any:
    settings = geom.settings()
    # Each shape in its element's own coordinates, with the placement beside
    # it: the engine then makes a shape that several elements share (a door
    # type's detailed leaf) once, not once for each of them in world coordinates.
    settings.set("use-world-coords", False)
    settings.set("convert-back-units", False)  # metres, not the model's own unit
    settings.set("triangulation-type", ifcopenshell.ifcopenshell_wrapper.TRIANGLE_MESH)
    return settings


# The engine's threads spend about twice the processor time of its
# sequential run on the same shapes, and cost a start: on the example house
# (42 elements) two threads took 54 ms, one 8 ms. A thread is given this many
# shapes at least, so that small models run on one.
SHAPES_PER_THREAD = 500


def engine_threads(shapes: int) -> int:
    """The engine's workers for so many shapes: one per core this process may
    use but the one this thread needs to take their shapes in, and no more
    than the shapes repay. (On two cores, one.)"""
    return max(1, min(usable_cores() - 1, shapes // SHAPES_PER_THREAD))


def element_shapes(
    model: ifcopenshell.file, products: Sequence[entity_instance], threads: int = 0, kernel: str = KERNEL
) -> dict[int, Shape]:
    """The shape of each product the engine can make, by the product's step id;
    products without a shape do not appear. `threads` 0: `engine_threads`."""
    if not products:
        return {}
    iterator = geom.iterator(
        engine_settings(),
        model,
        threads or engine_threads(len(products)),
        include=list(products),
        geometry_library=kernel,
    )
    shapes: dict[int, Shape] = {}
    made: dict[str, tuple[npt.NDArray[np.float64], npt.NDArray[np.int64]]] = {}  # by the engine's id of each shape
    if iterator.initialize():
        while True:
            shape = iterator.get()
            geometry = shape.geometry
            arrays = made.get(geometry.id)
            if arrays is None:
                # int64, as Mesh.from_arrays reads indices without a copy.
                arrays = made[geometry.id] = (
                    np.frombuffer(geometry.verts_buffer, np.float64).reshape(-1, 3),
                    np.frombuffer(geometry.faces_buffer, np.int32).reshape(-1, 3).astype(np.int64),
                )
            # The placement's 4 x 4 matrix comes column by column.
            placement = np.array(shape.transformation.matrix, np.float64).reshape(4, 4).T[:3]
            shapes[shape.id] = Shape(*arrays, placement)
            if not iterator.next():
                break
    return shapes
