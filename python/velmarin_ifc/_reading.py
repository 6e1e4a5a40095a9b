"""Reading an IFC model into a Building."""
from __future__ import annotations

import math
import os
from typing import Any, Callable, Optional, TypeVar, Union

import ifcopenshell
import ifcopenshell.util.element
import ifcopenshell.util.placement
import ifcopenshell.util.unit

from velmarin import SpatialRegistry
from velmarin_ifc._building import Building, Element, Space
from velmarin_ifc._geometry import Solid, column_wire, element_solids, opening_mesh, solid_mesh, tread_mesh

APERTURE_CLASSES = ("IfcDoor", "IfcWindow", "IfcOpeningElement")
# Each stair or ramp as its flights, or as its own body where it has none.
FLIGHT_CLASSES = (("IfcStair", "IfcStairFlight"), ("IfcRamp", "IfcRampFlight"))

T = TypeVar("T")
R = TypeVar("R")


def read_building(path: Union[str, "os.PathLike[str]"]) -> Building:
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
    opening's record names the door or window that fills it. Elements whose
    geometry the engine cannot make, or that have none, are left out and
    counted in `Building.skipped`. A missing file raises FileNotFoundError
    (a folder IsADirectoryError), a file that is not an IFC model ValueError.
    """
    path = os.fspath(path)
    with open(path, "rb"):  # a file that cannot be opened fails here, as what it is, not as bad IFC
        pass
    try:
        model = ifcopenshell.open(path)
    except (ifcopenshell.Error, OSError, RuntimeError) as error:  # its parser and its wrapper fail alike
        raise ValueError(f"{path!r} is not an IFC model ({error})") from None
    if not isinstance(model, ifcopenshell.file):
        raise ValueError(f"{path!r} is not an IFC model")
    return building_of(model)


def building_of(model: ifcopenshell.file) -> Building:
    products = Products(model)
    return assemble(model, products, element_solids(model, products.all()))


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


def assemble(model: ifcopenshell.file, products: Products, solids: dict[int, Solid]) -> Building:
    """The building of the products whose solids the engine made."""
    metres = ifcopenshell.util.unit.calculate_unit_scale(model)
    storeys: dict[int, tuple[str, float]] = {}
    rooms, room_records = converted(products.spaces, solids, solid_mesh, lambda s: space_record(s, metres, storeys))
    openings, opening_records = converted(products.apertures, solids, opening_mesh, element_record)
    treads, tread_records = converted(products.flights, solids, tread_mesh, element_record)
    wires, wire_records = converted(products.columns, solids, column_wire, element_record)
    skipped = len(products.all()) - len(rooms) - len(openings) - len(treads) - len(wires)
    return Building(SpatialRegistry(rooms, wires, openings + treads), room_records, opening_records + tread_records,
                    wire_records, skipped)


def converted(products: list[Any], solids: dict[int, Solid], convert: Callable[[Solid], Optional[T]],
              record: Callable[[Any], R]) -> tuple[list[T], list[R]]:
    """The products the engine made a usable shape of, converted, with their records."""
    values: list[T] = []
    records: list[R] = []
    for product in products:
        solid = solids.get(product.id())
        value = convert(solid) if solid is not None else None
        if value is not None:
            values.append(value)
            records.append(record(product))
    return values, records


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
        elevation = float(ifcopenshell.util.placement.get_storey_elevation(storey)) * metres
        storeys[storey.id()] = name, elevation
    return Space(space.GlobalId, space.Name or "", space.LongName or "", name, elevation)


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
