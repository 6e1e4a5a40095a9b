"""A building read from an IFC model: its registry, the records of its elements, its graph and routes."""
from __future__ import annotations

from dataclasses import dataclass
from typing import Literal, Optional, Sequence

from velmarin import SpatialGraph, SpatialRegistry


@dataclass(frozen=True)
class Space:
    """A room: an IfcSpace with its storey and the storey's elevation in metres
    (empty and NaN for a space outside any storey)."""

    global_id: str
    name: str
    long_name: str
    storey: str
    elevation: float


@dataclass(frozen=True)
class Element:
    """A door, window, opening or column: its IFC class and identity."""

    global_id: str
    ifc_class: str
    name: str


# Why an element was left out:
# - "no geometry": it has no shape, or one without area;
# - "engine failure": the geometry engine made no solid of its shape;
# - "reference cycle": its placement or shape refers back to itself, directly or in a ring;
# - "wrong reference": its placement or shape refers to an entity of a kind
#   the engine cannot take there (a point where a representation map belongs);
# - "absurd number": its placement or shape holds a length no building can hold.
Reason = Literal["no geometry", "engine failure", "reference cycle", "wrong reference", "absurd number"]


@dataclass(frozen=True)
class LeftOut:
    """An element `read_building` left out: its global id and IFC class, the
    reason (one of `Reason`) and where in the model the reason lies, e.g.
    ``LeftOut("2O2Fr$t4X7Zf8NOew3FLOH", "IfcSpace", "reference cycle",
    "its placement #22=IfcLocalPlacement is placed relative to itself")``."""

    global_id: str
    ifc_class: str
    reason: Reason
    detail: str


class Building:
    """A building read by `read_building`.

    `registry` holds the rooms, columns and apertures; `spaces`, `columns`
    and `apertures` describe them in the registry's order, so `spaces[i]` is
    the room of node i in any graph built from it. `skipped` counts the
    spaces, doors, windows, openings and columns left out, and `left_out`
    says which and why, in file order within spaces, apertures and columns.
    """

    def __init__(self, registry: SpatialRegistry, spaces: list[Space], apertures: list[Element],
                 columns: list[Element], skipped: int, left_out: Sequence[LeftOut] = ()) -> None:
        self.registry = registry
        self.spaces = spaces
        self.apertures = apertures
        self.columns = columns
        self.skipped = skipped
        self.left_out = list(left_out)
        self._door_graph: Optional[SpatialGraph] = None

    def graph(self, tolerance: float = 0.01, wall_thickness: float = 0.5) -> SpatialGraph:
        """The graph of rooms facing each other across walls and slabs up to
        `wall_thickness` (metres) thick, as `build_spatial_graph_with_walls`
        builds it; each node carries the attributes name, long_name,
        global_id and storey of its room."""
        graph = self.registry.build_spatial_graph_with_walls(tolerance, wall_thickness)
        for node, space in zip(graph.nodes, self.spaces):
            node.set_attribute("name", space.name)
            node.set_attribute("long_name", space.long_name)
            node.set_attribute("global_id", space.global_id)
            node.set_attribute("storey", space.storey)
        return graph

    def route(self, start: str, end: str) -> list[str]:
        """The shortest way from one room to another through doors and other
        openings (of walls or slabs), as the names of the rooms passed; empty
        when there is none. It follows the edges of `graph()` with its
        defaults whose opening_area is above zero; that graph is built once.

        A room is given by its global id, name or long name; a name that
        several rooms share raises ValueError, an unknown one KeyError.
        """
        first, last = self.position(start), self.position(end)
        if self._door_graph is None:
            graph = self.graph()
            doors = [e for e in graph.edges if (e.get_attribute("opening_area") or 0.0) > 0.0]
            self._door_graph = SpatialGraph(graph.nodes, doors, [])
        return [self.spaces[i].name for i in self._door_graph.find_shortest_path(first, last)]

    def position(self, room: str) -> int:
        """The node position of a room given by its global id, name or long name."""
        for i, space in enumerate(self.spaces):
            if space.global_id == room:
                return i
        found = [i for i, space in enumerate(self.spaces) if room in (space.name, space.long_name)]
        if not found:
            raise KeyError(f"no room has the name or global id {room!r}")
        if len(found) > 1:
            ids = ", ".join(self.spaces[i].global_id for i in found)
            raise ValueError(f"{len(found)} rooms are named {room!r}; give one of their global ids: {ids}")
        return found[0]
