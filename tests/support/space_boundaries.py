"""What a model's own space boundaries (IfcRelSpaceBoundary) say of its doors
and of the spaces open to each other, and how a Building's passages and exits
agree with them: the tests hold the shared models to it, and
bench/bench_walk.py prints it."""

from __future__ import annotations

import gzip
import shutil
from dataclasses import dataclass, field
from pathlib import Path

SHARED = Path(__file__).resolve().parents[3] / "shared" / "models"  # shared/ beside the project
MODELS = ["231110AC-11-Smiley-West-04-07-2007.ifc.gz", "ExampleHOM.ifc.gz", "KIT-EDC_with_SB.ifc.gz"]


def unpacked(name, folder):
    """A shared model unpacked into a folder, as the engine reads plain files."""
    path = Path(folder) / name.removesuffix(".gz")
    with gzip.open(SHARED / name, "rb") as packed, open(path, "wb") as plain:
        shutil.copyfileobj(packed, plain)
    return path


@dataclass
class Bounded:
    """The spaces an element bounds, and whether any of its boundaries is external."""

    spaces: set[str] = field(default_factory=set)
    external: bool = False


def bounded_by(model, kind):
    """Every element of an IFC class (with its subtypes) named by a space
    boundary, by global id. kind "IfcVirtualElement" gives the virtual ones."""
    found: dict[str, Bounded] = {}
    for boundary in model.by_type("IfcRelSpaceBoundary"):
        element, space = boundary.RelatedBuildingElement, boundary.RelatingSpace
        if element is None or not element.is_a(kind) or not space.is_a("IfcSpace"):
            continue
        entry = found.setdefault(element.GlobalId, Bounded())
        entry.spaces.add(space.GlobalId)
        entry.external |= (boundary.InternalOrExternalBoundary or "").startswith("EXTERNAL")
    return found


@dataclass
class Agreement:
    """Doors between two spaces, exterior doors (of one space, external) and
    virtual boundaries between two spaces, as the model's boundaries give them;
    each with those the building's graph and exits find alike, and those it
    finds that the boundaries do not give."""

    inner_doors: int
    inner_found: int
    outer_doors: int
    exits_found: int
    virtual: int
    virtual_walkable: int
    other_exits: list[str]  # exits (global ids) the boundaries give as no exterior door of that room


def agreement(building, model) -> Agreement:
    graph = building.graph()
    ids = [s.global_id for s in building.spaces]
    by_door: dict[str, set[frozenset[str]]] = {}
    walkable: set[frozenset[str]] = set()
    for edge in graph.edges:
        pair = frozenset((ids[edge.node_a], ids[edge.node_b]))
        if edge.get_attribute("passage") != "none":
            walkable.add(pair)
        for element in edge.get_attribute("elements"):
            by_door.setdefault(element, set()).add(pair)
    doors = bounded_by(model, "IfcDoor")
    inner = {door: frozenset(b.spaces) for door, b in doors.items() if len(b.spaces) == 2}
    outer = {(door, next(iter(b.spaces))) for door, b in doors.items() if len(b.spaces) == 1 and b.external}
    exits = {(e.global_id, ids[e.room]) for e in building.exits}
    virtual = [frozenset(b.spaces) for b in bounded_by(model, "IfcVirtualElement").values() if len(b.spaces) == 2]
    return Agreement(
        len(inner),
        sum(pair in by_door.get(door, ()) for door, pair in inner.items()),
        len(outer),
        len(outer & exits),
        len(virtual),
        sum(pair in walkable for pair in virtual),
        sorted(door for door, _ in exits - outer),
    )
