"""Reading an IFC model into a Building. ifcopenshell is imported when the
first model that needs it is read, not with velmarin_ifc: a read in a child
process leaves the caller without it."""

from __future__ import annotations

import os

from velmarin_ifc._building import Building, building_from


def read_building(path: str | os.PathLike[str], timeout: float | None = None) -> Building:
    """Reads an IFC model (IFC2X3 or IFC4) into a Building.

    velmarin makes the solids of the common kinds itself, from the model's
    text (extrusions of polylines, rectangles and circles, faceted breps,
    shell models, face sets, and such shapes mapped into place: see
    IfcParser.element_solids). Where they are every solid the model needs
    and its records tell the rest (names, storeys, fillings; see
    IfcParser.model_products), the model is read from them alone, and
    ifcopenshell is not imported. Otherwise ifcopenshell parses the model,
    its checks run, and its geometry engine makes the other solids, on all
    the cores the process may use but one, with 500 elements a core at least
    (a small model on one). Either way the Building is the same.
    Every IfcSpace becomes a room (a mesh of planar faces facing out, welded
    at 0.01 mm, in world coordinates and metres whatever the model's unit),
    every IfcDoor, IfcWindow and IfcOpeningElement an aperture of the faces
    through which it opens (a wall's, or where it lies flat, a slab's), every
    IfcStairFlight and IfcRampFlight (and every IfcStair or IfcRamp without
    flights) an aperture of the faces of its body that face up, its treads,
    so that it cuts the slabs it passes and never the walls beside it, and
    every IfcColumn a wire: a vertical one at the centre of its body's
    horizontal bounds, from the body's lowest to its highest point. An
    opening's record names the door or window that fills it.

    Elements the engine cannot be given safely are left out before it runs:
    a placement or shape that refers back to itself, a reference to an
    entity of a kind the engine cannot take there, or a number beyond what
    a building holds (10 km in a shape, 100,000 km in a placement). They,
    and the elements whose geometry the engine cannot make or that have
    none, are counted in `Building.skipped` and listed with the reason in
    `Building.left_out`.

    Parameters:
        path: the model's file.
        timeout: None reads in this process. A number of seconds reads in a
            child process instead (the engine and the faces; the registry is
            made here), which is ended when the time runs out. It costs the
            start of a Python interpreter (0.25-0.3 s) and bounds what no
            check can foresee: a crash of the engine ends the child, not the
            caller, and a model that takes too long ends in TimeoutError.

    Returns:
        A new Building.

    Raises:
        FileNotFoundError, IsADirectoryError: the path names no file.
        ValueError: the file is not an IFC model, or timeout is not a positive number.
        TimeoutError: the read in a child process took longer than timeout.
        RuntimeError: the child process died (the message names the signal).

    Example:
        >>> building = read_building("house.ifc", timeout=60)  # doctest: +SKIP
        >>> [(e.global_id, e.reason) for e in building.left_out]  # doctest: +SKIP
        [('0VbPJk1Bz4DeIRfXAjkV3T', 'no geometry')]
    """
    path = os.fspath(path)
    with open(path, "rb"):  # a file that cannot be opened fails here, as what it is, not as bad IFC
        pass
    if timeout is not None:
        from velmarin_ifc._isolated import read_isolated

        return building_from(read_isolated(path, timeout))
    from velmarin_ifc._records import parts_of_file

    return building_from(parts_of_file(path))
