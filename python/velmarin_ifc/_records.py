"""A model read by velmarin alone, from the records of its text, where they
tell everything a Building holds: every product's solid made here, its
names, a space's storey, an opening's filling; and nothing in what each
product refers to that the checks of the full model could find (a loop, a
reference astray, a number no building holds). ifcopenshell is then not
imported at all. Where the records leave anything open, ifcopenshell reads
the model, with the solids already made here."""

from __future__ import annotations

import math
import re
from typing import TYPE_CHECKING, Optional

from velmarin import IfcParser, Mesh, Wire
from velmarin_ifc._building import Element, LeftOut, Parts, Reason, Space
from velmarin_ifc._products import FACES, product_types
from velmarin_ifc._solids import WELD_CELL, column_wire

# What a read from the records leaves for ifcopenshell's: the model's length
# unit in metres and, by step id, the solid each product keeps (None: the
# engine's), or None for a file of another kind or whose unit velmarin
# cannot tell.
Ahead = Optional[tuple[float, dict[int, Optional[Mesh]]]]

if TYPE_CHECKING:
    from velmarin import _ProductRow

# Why a product whose solid velmarin made, or that has no shape, is left out:
# the same whichever way the model is read.
NO_FACE: tuple[Reason, str] = ("no geometry", "its solid has no face with an area")
NO_SHAPE: tuple[Reason, str] = ("no geometry", "it has no shape representation")

# The classes of the elements that fill openings, besides those read.
FILLING_CLASSES = ("IfcBuildingElementProxy",)

STEP_START = b"ISO-10303-21"
# The schema the header names: FILE_SCHEMA(('IFC4')).
FILE_SCHEMA = re.compile(rb"FILE_SCHEMA\s*\(\s*\(\s*'([^']*)'")
SCHEMAS = ("IFC2X3", "IFC4")


def parts_of_file(path: str) -> Parts:
    """The parts of the model in the file: from its records where they tell
    them, else as ifcopenshell reads it."""
    parts, ahead = records_read(path)
    if parts is not None:
        return parts
    from velmarin_ifc._model import parts_read  # ifcopenshell is imported here, when it is needed

    return parts_read(path, ahead)


def records_read(path: str) -> tuple[Parts | None, Ahead]:
    """The parts of the model from its records (None where they leave
    anything open, or the file is no STEP text), and the solids made."""
    with open(path, "rb") as file:
        text = file.read()
    if not text[:64].lstrip().startswith(STEP_START):
        return None, None
    schema = schema_of(text)
    types = product_types()
    made = IfcParser.model_products(
        text,
        schema or "IFC4",
        [t.type for t in types],
        [FACES[t.group] for t in types],
        [t.part_type for t in types],
        WELD_CELL,
    )
    if made is None:
        return None, None
    metres, products, unclear = made
    ahead = (metres, {row[0]: row[7] for row in products})
    if schema is None or unclear:
        return None, ahead
    return parts_of_records(products), ahead


def schema_of(text: bytes) -> str | None:
    """The schema the text's header names, if it is one read here."""
    header = text[: text.find(b"ENDSEC")]
    found = FILE_SCHEMA.search(header)
    schema = found.group(1).decode("ascii", "replace") if found else None
    return schema if schema in SCHEMAS else None


def parts_of_records(products: list[_ProductRow]) -> Parts | None:
    """The parts of the products as IfcParser.model_products gives them
    (None where a class is not known here by name)."""
    types = product_types()
    groups = {t.type: t.group for t in types}
    classes = {t.type: t.ifc_class for t in types} | {c.upper(): c for c in FILLING_CLASSES}
    rooms: list[Mesh] = []
    spaces: list[Space] = []
    openings: list[Mesh] = []
    apertures: list[Element] = []
    wires: list[Wire] = []
    columns: list[Element] = []
    left_out: list[LeftOut] = []
    for _, global_id, kind, name, long_name, storey, filling, solid in products:
        ifc_class = classes.get(kind.upper())
        filling_class = classes.get(filling[1].upper()) if filling else None
        if ifc_class is None or (filling and filling_class is None):
            return None
        group = groups[kind.upper()]
        wire = column_wire(solid) if group == "column" and solid is not None else None
        mesh = kept(solid) if group != "column" and solid is not None else None
        if wire is None and mesh is None:
            left_out.append(LeftOut(global_id, ifc_class, *(NO_FACE if solid is not None else NO_SHAPE)))
        elif mesh is not None and group == "room":
            rooms.append(mesh)
            storey_name, elevation = storey if storey else ("", math.nan)
            spaces.append(Space(global_id, name, long_name, storey_name, elevation))
        else:
            filled_by = Element(filling[0], filling_class, filling[2]) if filling and filling_class else None
            element = Element(global_id, ifc_class, name, filled_by)
            if wire is not None:
                wires.append(wire)
                columns.append(element)
            elif mesh is not None:
                openings.append(mesh)
                apertures.append(element)
    return Parts(rooms, spaces, openings, apertures, wires, columns, left_out)


def kept(mesh: Mesh) -> Mesh | None:
    return mesh if mesh.faces else None
