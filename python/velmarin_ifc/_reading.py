"""Reading an IFC model into a Building."""
from __future__ import annotations

import math
import mmap
import os
from contextlib import contextmanager, suppress
from typing import Any, Callable, Iterator, NamedTuple, Optional, TypeVar, Union

import ifcopenshell
import ifcopenshell.util.element
import ifcopenshell.util.placement
import ifcopenshell.util.unit

from velmarin import Mesh, SpatialRegistry, Wire
from velmarin_ifc._building import Building, Element, LeftOut, Space
from velmarin_ifc._geometry import Solid, column_wire, element_solids, opening_mesh, solid_mesh, tread_mesh
from velmarin_ifc._screening import Fault, Placements, Text, of_kind, screened

APERTURE_CLASSES = ("IfcDoor", "IfcWindow", "IfcOpeningElement")
# Each stair or ramp as its flights, or as its own body where it has none.
FLIGHT_CLASSES = (("IfcStair", "IfcStairFlight"), ("IfcRamp", "IfcRampFlight"))

T = TypeVar("T")
R = TypeVar("R")


def read_building(path: Union[str, "os.PathLike[str]"], timeout: Optional[float] = None) -> Building:
    """Reads an IFC model (IFC2X3 or IFC4) into a Building.

    ifcopenshell's geometry engine makes the solids, on all cores but one.
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
    return building_from(parts_read(path))


def parts_read(path: str) -> Parts:
    """The parts of the model in the file."""
    try:
        model = ifcopenshell.open(path)
    except (ifcopenshell.Error, OSError, RuntimeError) as error:  # its parser and its wrapper fail alike
        raise ValueError(f"{path!r} is not an IFC model ({error})") from None
    if not isinstance(model, ifcopenshell.file):
        raise ValueError(f"{path!r} is not an IFC model")
    with step_text(path, model) as text:
        return parts_of(model, text)


@contextmanager
def step_text(path: str, model: Any) -> Iterator[Text]:
    """The model's STEP text: the file mapped into memory (reading it would
    take as long as looking through it), or for a zipped or XML model, or a
    file that cannot be mapped, the text written anew."""
    with open(path, "rb") as file:
        try:
            mapped = mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_READ)
        except (OSError, ValueError):
            mapped = None
        if mapped is not None:
            try:
                if mapped[:64].lstrip().startswith(b"ISO-10303-21"):
                    yield mapped
                    return
            finally:
                with suppress(BufferError):  # a view of it kept alive by a traceback: it closes when collected
                    mapped.close()
    yield written_text(model)


def written_text(model: Any) -> bytes:
    return str(model.to_string()).encode()


class Parts(NamedTuple):
    """A model read up to its registry: the rooms, apertures and columns with their records, and what was left out."""

    rooms: list[Mesh]
    spaces: list[Space]
    openings: list[Mesh]
    apertures: list[Element]
    wires: list[Wire]
    columns: list[Element]
    left_out: list[LeftOut]


def building_from(parts: Parts) -> Building:
    registry = SpatialRegistry(parts.rooms, parts.wires, parts.openings)
    return Building(registry, parts.spaces, parts.apertures, parts.columns, len(parts.left_out), parts.left_out)


def building_of(model: ifcopenshell.file) -> Building:
    return building_from(parts_of(model, written_text(model)))


def parts_of(model: ifcopenshell.file, text: Text) -> Parts:
    products = Products(model)
    metres = ifcopenshell.util.unit.calculate_unit_scale(model)
    faults = screened(model, products.all(), text, metres)
    solids = element_solids(model, [p for p in products.all() if p.id() not in faults])
    return assemble(model, products, solids, faults)


class Products:
    """The elements of a model that become rooms, apertures and columns, in file order."""

    def __init__(self, model: ifcopenshell.file) -> None:
        self.spaces = list(model.by_type("IfcSpace"))
        self.apertures = [p for ifc_class in APERTURE_CLASSES for p in model.by_type(ifc_class)]
        self.flights = [p for whole, flight in FLIGHT_CLASSES for p in flights(model, whole, flight)]
        self.columns = list(model.by_type("IfcColumn"))

    def all(self) -> list[Any]:
        return self.spaces + self.apertures + self.flights + self.columns


def flights(model: ifcopenshell.file, whole: str, flight: str) -> list[Any]:
    """The flights of a kind, and the stairs or ramps that aggregate none."""
    def has_flights(element: Any) -> bool:
        parts: list[Any] = ifcopenshell.util.element.get_parts(element)
        return any(part.is_a(flight) for part in parts)

    return list(model.by_type(flight)) + [p for p in model.by_type(whole) if not has_flights(p)]


def assemble(model: ifcopenshell.file, products: Products, solids: dict[int, Solid],
             faults: Optional[dict[int, Fault]] = None) -> Parts:
    """The parts of the products whose solids the engine made; `faults`: the
    products kept from the engine, with the reason."""
    metres = ifcopenshell.util.unit.calculate_unit_scale(model)
    storeys: dict[int, tuple[str, float]] = {}
    faults = faults or {}
    left_out: list[LeftOut] = []
    rooms, room_records = converted(products.spaces, solids, solid_mesh, lambda s: space_record(s, metres, storeys),
                                    faults, left_out)
    openings, opening_records = converted(products.apertures, solids, opening_mesh, element_record, faults, left_out)
    treads, tread_records = converted(products.flights, solids, tread_mesh, element_record, faults, left_out)
    wires, wire_records = converted(products.columns, solids, column_wire, element_record, faults, left_out)
    return Parts(rooms, room_records, openings + treads, opening_records + tread_records, wires, wire_records, left_out)


def converted(products: list[Any], solids: dict[int, Solid], convert: Callable[[Solid], Optional[T]],
              record: Callable[[Any], R], faults: dict[int, Fault], left_out: list[LeftOut]) -> tuple[list[T], list[R]]:
    """The products the engine made a usable shape of, converted, with their
    records; the others are added to `left_out`."""
    values: list[T] = []
    records: list[R] = []
    for product in products:
        fault = faults.get(product.id())
        if fault is None:
            solid = solids.get(product.id())
            value = convert(solid) if solid is not None else None
            if value is not None:
                values.append(value)
                records.append(record(product))
                continue
            fault = missing_shape(product, solid)
        left_out.append(LeftOut(product.GlobalId or "", product.is_a(), *fault))
    return values, records


def missing_shape(product: Any, solid: Optional[Solid]) -> Fault:
    if solid is not None:
        return "no geometry", "its solid has no face with an area"
    shape = product.Representation
    if not of_kind(shape, "IfcProductRepresentation") or not shape.Representations:
        return "no geometry", "it has no shape representation"
    return "engine failure", "the geometry engine made no solid of its shape representations"


def element_record(element: Any) -> Element:
    """The element's record; an opening's names the element that fills it, if any."""
    fillings = [rel.RelatedBuildingElement for rel in getattr(element, "HasFillings", None) or ()]
    filling = Element(fillings[0].GlobalId, fillings[0].is_a(), fillings[0].Name or "") if fillings else None
    return Element(element.GlobalId, element.is_a(), element.Name or "", filling)


def space_record(space: Any, metres: float, storeys: dict[int, tuple[str, float]]) -> Space:
    """The space's record; `storeys` keeps the name and elevation of each storey met."""
    storey = storey_of(space)
    if storey is None:
        name, elevation = "", math.nan
    elif storey.id() in storeys:
        name, elevation = storeys[storey.id()]
    else:
        name = storey.Name or ""
        elevation = storey_elevation(storey, metres)
        storeys[storey.id()] = name, elevation
    return Space(space.GlobalId, space.Name or "", space.LongName or "", name, elevation)


def storey_elevation(storey: Any, metres: float) -> float:
    """The storey's elevation in metres: the height of its placement or, where
    that cannot be followed, its Elevation attribute (NaN without one)."""
    if Placements().fault(storey.ObjectPlacement) is None:
        try:
            return float(ifcopenshell.util.placement.get_storey_elevation(storey)) * metres
        except (AttributeError, TypeError, ValueError):  # an axis or point of another kind in the chain
            pass
    elevation = storey.Elevation
    return float(elevation) * metres if isinstance(elevation, (int, float)) else math.nan


def storey_of(element: Any) -> Optional[Any]:
    """The IfcBuildingStorey above an element in the spatial decomposition,
    through aggregation (as spaces usually are) or containment."""
    seen = set()
    parent = element
    while parent is not None and parent.id() not in seen:
        seen.add(parent.id())
        if parent.is_a("IfcBuildingStorey"):
            return parent
        parent = (ifcopenshell.util.element.get_aggregate(parent)
                  or ifcopenshell.util.element.get_container(parent, should_get_direct=True))
    return None
