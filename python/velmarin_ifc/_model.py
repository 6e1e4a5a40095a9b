"""An IFC model, as ifcopenshell reads it, made into the parts of a Building:
the elements that become rooms, apertures and columns, checked, given to the
geometry engine, and converted with their records."""

from __future__ import annotations

import math
import mmap
from collections.abc import Iterator
from concurrent.futures import ThreadPoolExecutor
from contextlib import contextmanager, suppress
from dataclasses import dataclass
from typing import TYPE_CHECKING, Callable, Generic, TypeVar

import ifcopenshell
import ifcopenshell.util.element
import ifcopenshell.util.placement
import ifcopenshell.util.unit

from velmarin import Mesh
from velmarin_ifc._building import Building, Element, LeftOut, Parts, Space, building_from
from velmarin_ifc._engine import element_shapes
from velmarin_ifc._products import APERTURE_CLASSES, FLIGHT_CLASSES
from velmarin_ifc._records import NO_FACE, NO_SHAPE, Ahead, kept, records_read
from velmarin_ifc._screening import Fault, Placements, Text, of_kind, screened
from velmarin_ifc._solids import (
    Shape,
    column_wire,
    opening_mesh,
    solid_mesh,
    solids_made_here,
    tread_mesh,
    world_solids,
)

if TYPE_CHECKING:
    from ifcopenshell import entity_instance

# Where every IfcRoot holds its GlobalId and Name, in every schema: read by
# position, as the named attributes cost four times as long.
GLOBAL_ID, NAME = 0, 2

T = TypeVar("T")
R = TypeVar("R")


def parts_read(path: str, ahead: Ahead = None) -> Parts:
    """The parts of the model in the file, with the solids velmarin made of
    it `ahead` (as velmarin_ifc._records.records_read gives them); without
    them, velmarin makes what solids it can on a thread of its own while
    ifcopenshell parses the model (which gives up the interpreter lock)."""
    with ThreadPoolExecutor(max_workers=1) as pool:
        making = pool.submit(solids_ahead, path) if ahead is None else None
        try:
            model = ifcopenshell.open(path)
        except (ifcopenshell.Error, OSError, RuntimeError) as error:  # its parser and its wrapper fail alike
            raise ValueError(f"{path!r} is not an IFC model ({error})") from None
        if not isinstance(model, ifcopenshell.file):
            raise ValueError(f"{path!r} is not an IFC model")
        with step_text(path, model) as text:
            return parts_of(model, text, making.result() if making else ahead)


def solids_ahead(path: str) -> Ahead:
    """The solids velmarin makes of a STEP file before ifcopenshell has read it."""
    return records_read(path)[1]


@contextmanager
def step_text(path: str, model: ifcopenshell.file) -> Iterator[Text]:
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


def written_text(model: ifcopenshell.file) -> bytes:
    return str(model.to_string()).encode()


def building_of(model: ifcopenshell.file) -> Building:
    return building_from(parts_of(model, written_text(model)))


def parts_of(model: ifcopenshell.file, text: Text, ahead: Ahead = None) -> Parts:
    """The parts of the model, with the solids made `ahead` of it if any
    (used only if their length unit is ifcopenshell's)."""
    products = Products(model)
    metres = ifcopenshell.util.unit.calculate_unit_scale(model)
    tried = ahead[1] if ahead is not None and ahead[0] == metres else {}
    left = [(p.id(), faces) for p, faces in products.with_faces() if p.id() not in tried]
    with ThreadPoolExecutor(max_workers=1) as pool:
        # velmarin makes the solids not made ahead on a thread of its own,
        # which gives up the interpreter lock, while the checks run here;
        # those of the products the checks leave out are dropped.
        making = left and pool.submit(solids_made_here, bytes(text), [k for k, _ in left], metres, [f for _, f in left])
        faults = screened(model, products.all(), text, metres)
        made = {key: mesh for key, mesh in tried.items() if mesh is not None}
        made.update(making.result() if making else {})
    made = {key: mesh for key, mesh in made.items() if key not in faults}
    shapes = element_shapes(model, [p for p in products.all() if p.id() not in faults and p.id() not in made])
    return assemble(model, products, shapes, faults, made)


class Products:
    """The elements of a model that become rooms, apertures and columns, in file order."""

    def __init__(self, model: ifcopenshell.file) -> None:
        self.spaces = list(model.by_type("IfcSpace"))
        self.apertures = [p for ifc_class in APERTURE_CLASSES for p in model.by_type(ifc_class)]
        self.flights = [p for whole, flight in FLIGHT_CLASSES for p in flights(model, whole, flight)]
        self.columns = list(model.by_type("IfcColumn"))

    def all(self) -> list[entity_instance]:
        return self.spaces + self.apertures + self.flights + self.columns

    def with_faces(self) -> list[tuple[entity_instance, str]]:
        """Every product with the faces of its solid that it keeps (as
        IfcParser.element_solids names them): a room and a column all, an
        aperture those through which it opens, a flight its treads."""
        return [
            (product, faces)
            for group, faces in [(self.spaces, "all"), (self.apertures, "opening"), (self.flights, "treads")]
            + [(self.columns, "all")]
            for product in group
        ]


def flights(model: ifcopenshell.file, whole: str, flight: str) -> list[entity_instance]:
    """The flights of a kind, and the stairs or ramps that aggregate none."""

    def has_flights(element: entity_instance) -> bool:
        parts = ifcopenshell.util.element.get_parts(element)
        return any(part.is_a(flight) for part in parts)

    return list(model.by_type(flight)) + [p for p in model.by_type(whole) if not has_flights(p)]


def assemble(
    model: ifcopenshell.file,
    products: Products,
    shapes: dict[int, Shape],
    faults: dict[int, Fault] | None = None,
    made: dict[int, Mesh] | None = None,
) -> Parts:
    """The parts of the products whose solids were made: by the engine
    (`shapes`), or by velmarin (`made`: the faces each keeps, as
    `Products.with_faces` names them); `faults`: the products kept from
    both, with the reason."""
    solids = {key: solid_mesh(solid) for key, solid in world_solids(shapes).items()}
    made = made or {}
    metres = ifcopenshell.util.unit.calculate_unit_scale(model)
    storeys: dict[int, tuple[str, float]] = {}
    faults = faults or {}
    left_out: list[LeftOut] = []
    relations = Relations(model)
    room = Conversion(kept, kept)
    rooms, room_records = converted(
        products.spaces, solids, made, room, lambda s: space_record(s, relations, metres, storeys), faults, left_out
    )
    record = element_record
    apertures = Conversion(opening_mesh, kept)
    openings, opening_records = converted(products.apertures, solids, made, apertures, record, faults, left_out)
    flights = Conversion(tread_mesh, kept)
    treads, tread_records = converted(products.flights, solids, made, flights, record, faults, left_out)
    columns = Conversion(column_wire, column_wire)
    wires, wire_records = converted(products.columns, solids, made, columns, record, faults, left_out)
    return Parts(rooms, room_records, openings + treads, opening_records + tread_records, wires, wire_records, left_out)


@dataclass(frozen=True)
class Conversion(Generic[T]):
    """What a product becomes: from the engine's solid, welded; from the faces velmarin made and kept."""

    solid: Callable[[Mesh], T | None]
    made: Callable[[Mesh], T | None]


def converted(
    products: list[entity_instance],
    solids: dict[int, Mesh | None],
    made: dict[int, Mesh],
    conversion: Conversion[T],
    record: Callable[[entity_instance], R],
    faults: dict[int, Fault],
    left_out: list[LeftOut],
) -> tuple[list[T], list[R]]:
    """The products with faces with an area (in `made`, or the engine's
    welded solids, by step id; None where none was left), converted, with
    their records; the others are added to `left_out`."""
    values: list[T] = []
    records: list[R] = []
    for product in products:
        fault = faults.get(product.id())
        if fault is None:
            key = product.id()
            if key in made:
                value = conversion.made(made[key])
            else:
                solid = solids.get(key)
                value = conversion.solid(solid) if solid is not None else None
            if value is not None:
                values.append(value)
                records.append(record(product))
                continue
            fault = missing_shape(product, key in made or key in solids)
        left_out.append(LeftOut(product.GlobalId or "", product.is_a(), *fault))
    return values, records


def missing_shape(product: entity_instance, made: bool) -> Fault:
    if made:
        return NO_FACE
    shape = product.Representation
    if not of_kind(shape, "IfcProductRepresentation") or not shape.Representations:
        return NO_SHAPE
    return "engine failure", "the geometry engine made no solid of its shape representations"


class Relations:
    """Where each element sits in the spatial decomposition, asked of its
    inverse relations directly, as ifcopenshell's own helpers do (their
    lookup of the model's schema each time costs as much again)."""

    def __init__(self, model: ifcopenshell.file) -> None:
        # IFC2X3 decomposes by nesting too: only aggregation counts.
        self.ifc2x3 = model.schema == "IFC2X3"

    def parent(self, element: entity_instance) -> entity_instance | None:
        """The object that aggregates the element or, failing that, the
        structure that contains it directly; the first of each."""
        decomposes = getattr(element, "Decomposes", None)
        parent: entity_instance | None = None
        if decomposes and (not self.ifc2x3 or decomposes[0].is_a("IfcRelAggregates")):
            parent = decomposes[0].RelatingObject
        elif contained := getattr(element, "ContainedInStructure", None):
            parent = contained[0].RelatingStructure
        return parent

    def storey_of(self, element: entity_instance) -> entity_instance | None:
        """The IfcBuildingStorey above an element in the spatial decomposition,
        through aggregation (as spaces usually are) or containment."""
        seen = set()
        parent: entity_instance | None = element
        while parent is not None and parent.id() not in seen:
            seen.add(parent.id())
            if parent.is_a("IfcBuildingStorey"):
                return parent
            parent = self.parent(parent)
        return None


def element_record(element: entity_instance) -> Element:
    """The element's record; an opening's names the element that fills it, if any."""
    # Only openings have fillings; asking another element for them makes
    # ifcopenshell import and search the schema's rules, each time.
    fillings = element.HasFillings if element.is_a("IfcOpeningElement") else ()
    return named(element, named(fillings[0].RelatedBuildingElement) if fillings else None)


def named(element: entity_instance, filling: Element | None = None) -> Element:
    return Element(element.get_argument(GLOBAL_ID), element.is_a(), element.get_argument(NAME) or "", filling)


def space_record(
    space: entity_instance, relations: Relations, metres: float, storeys: dict[int, tuple[str, float]]
) -> Space:
    """The space's record; `storeys` keeps the name and elevation of each storey met."""
    storey = relations.storey_of(space)
    if storey is None:
        name, elevation = "", math.nan
    elif storey.id() in storeys:
        name, elevation = storeys[storey.id()]
    else:
        name = storey.Name or ""
        elevation = storey_elevation(storey, metres)
        storeys[storey.id()] = name, elevation
    long_name = space.get_argument(space.get_argument_index("LongName"))
    return Space(space.get_argument(GLOBAL_ID), space.get_argument(NAME) or "", long_name or "", name, elevation)


def storey_elevation(storey: entity_instance, metres: float) -> float:
    """The storey's elevation in metres: the height of its placement or, where
    that cannot be followed, its Elevation attribute (NaN without one)."""
    if Placements().fault(storey.ObjectPlacement) is None:
        try:
            return float(ifcopenshell.util.placement.get_storey_elevation(storey)) * metres
        except (AttributeError, TypeError, ValueError):  # an axis or point of another kind in the chain
            pass
    elevation = storey.Elevation
    return float(elevation) * metres if isinstance(elevation, (int, float)) else math.nan
