"""The kinds of product a Building is made of, as the model's text names
them: which types are read, in what order, and which faces of its solid
each keeps. Known here without ifcopenshell, which reads the same types."""

from __future__ import annotations

from typing import Literal, NamedTuple

APERTURE_CLASSES = ("IfcDoor", "IfcWindow", "IfcOpeningElement")
# Each stair or ramp as its flights, or as its own body where it has none.
FLIGHT_CLASSES = (("IfcStair", "IfcStairFlight"), ("IfcRamp", "IfcRampFlight"))

# The subtypes of the classes read that IFC4 adds, which the text names as
# types of their own (IFC2X3 has none).
STANDARD_CASES = {
    "IfcDoor": "IfcDoorStandardCase",
    "IfcWindow": "IfcWindowStandardCase",
    "IfcOpeningElement": "IfcOpeningStandardCase",
    "IfcColumn": "IfcColumnStandardCase",
}

# What a product becomes, which names the faces of its solid it keeps
# (as IfcParser.element_solids names them).
Group = Literal["room", "aperture", "flight", "column"]
FACES: dict[Group, str] = {"room": "all", "aperture": "opening", "flight": "treads", "column": "all"}


class ProductType(NamedTuple):
    """A type read, as the text names it (in capitals), with its class's
    name, its group and, for a stair or ramp, the type of its flights: one
    is read only where it aggregates none."""

    type: str
    ifc_class: str
    group: Group
    part_type: str = ""


def product_types() -> list[ProductType]:
    """The types read, in the order ifcopenshell lists their products: a
    class before its subtype, each stair's flights before the stairs."""

    def with_subtype(ifc_class: str, group: Group) -> list[ProductType]:
        subtype = STANDARD_CASES.get(ifc_class)
        return [ProductType(c.upper(), c, group) for c in [ifc_class] + ([subtype] if subtype else [])]

    flights = [
        kind
        for whole, flight in FLIGHT_CLASSES
        for kind in (
            ProductType(flight.upper(), flight, "flight"),
            ProductType(whole.upper(), whole, "flight", flight.upper()),
        )
    ]
    return (
        with_subtype("IfcSpace", "room")
        + [kind for ifc_class in APERTURE_CLASSES for kind in with_subtype(ifc_class, "aperture")]
        + flights
        + with_subtype("IfcColumn", "column")
    )
