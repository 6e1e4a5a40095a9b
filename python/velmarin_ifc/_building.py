"""A building read from an IFC model: its registry, the records of its elements, its graph, exits and routes."""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass
from typing import Literal, NamedTuple

from velmarin import Mesh, SpatialGraph, SpatialRegistry, Wire
from velmarin_ifc._passages import Exit, find_exits, mark_passages
from velmarin_ifc._walking import WayOut, passable

# The graph's defaults. Walls: thicker than any wall between rooms of the
# models tried (0.43 m the most). Slabs: a slab with a suspended ceiling under
# it (1.77 m below the floor above in one office) or a raised floor on it.
TOLERANCE = 0.01
WALL_THICKNESS = 0.5
SLAB_THICKNESS = 2.0


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
    """A door, window, opening, stair, ramp or column: its IFC class and
    identity. An opening's `filling` is the door or window that fills it
    (IfcRelFillsElement), None when nothing does."""

    global_id: str
    ifc_class: str
    name: str
    filling: Element | None = None


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
    spaces, doors, windows, openings, stairs, ramps and columns left out,
    and `left_out` says which and why: spaces, then doors, windows and
    openings, then stairs and ramps, then columns, each in file order.

    `exits`, `route`, `route_out` and `egress` walk the graph that `graph()`
    makes with its defaults. It is made on their first use and kept with the
    building; it is made again when `registry` is set to another registry
    (changes made inside the registry through its setters are not seen).
    """

    def __init__(
        self,
        registry: SpatialRegistry,
        spaces: list[Space],
        apertures: list[Element],
        columns: list[Element],
        skipped: int,
        left_out: Sequence[LeftOut] = (),
    ) -> None:
        self.registry = registry
        self.spaces = spaces
        self.apertures = apertures
        self.columns = columns
        self.skipped = skipped
        self.left_out = list(left_out)
        self._walk: Walk | None = None

    def graph(
        self,
        tolerance: float = TOLERANCE,
        wall_thickness: float = WALL_THICKNESS,
        slab_thickness: float | None = SLAB_THICKNESS,
    ) -> SpatialGraph:
        """The graph of rooms facing each other across walls and slabs, as
        `build_spatial_graph_with_walls` builds it.

        Each node carries the attributes name, long_name, global_id and storey
        of its room. Each edge carries, besides wall_thickness, opening_area
        and apertures:
        - "passage", how to pass it: "door" when a door (or an opening a door
          fills) was cut from it; else "opening" when an opening nothing fills
          was (a doorway, a void in a slab); else "stair" when a stair or ramp
          was; else "open" when the rooms are at most `tolerance` apart with
          nothing between them; else "none" (a wall or slab, with windows or
          without).
        - "elements", the global ids of the doors, windows, unfilled openings,
          stairs and ramps cut from it, each once, in aperture order; an
          opening a door or window fills is listed as that door or window.

        Parameters:
            tolerance: how far apart (metres) faces may be and still touch.
            wall_thickness: the thickest wall (metres) across which rooms face each other.
            slab_thickness: the thickest slab (metres); None: as walls.

        Returns:
            A new SpatialGraph, node i the room of ``spaces[i]``.

        Raises:
            ValueError: wall_thickness or slab_thickness is below zero, NaN or infinite.

        Example:
            >>> [e.get_attribute("passage") for e in building.graph().edges]  # doctest: +SKIP
            ['door', 'none', 'open', ...]
        """
        graph = self.registry.build_spatial_graph_with_walls(tolerance, wall_thickness, slab_thickness)
        for node, space in zip(graph.nodes, self.spaces):
            node.set_attribute("name", space.name)
            node.set_attribute("long_name", space.long_name)
            node.set_attribute("global_id", space.global_id)
            node.set_attribute("storey", space.storey)
        mark_passages(graph, self.apertures, tolerance)
        return graph

    @property
    def exits(self) -> list[Exit]:
        """The doors and unfilled openings that lead from a room to the
        outside, in aperture order: those that cut no contact between two
        rooms and stand in one room's outer wall (parallel to one of its
        faces, over it, within the default wall thickness of it), found on the
        graph `graph()` makes with its defaults (kept: see the class).

        Returns:
            A new list of `Exit`: the room's node position, the door's (or
            opening's) global id and its centre; empty for a model without doors.

        Example:
            >>> building.exits[0]  # doctest: +SKIP
            Exit(room=0, global_id='26U1CDMhT8EvGp2cBpIWbM', centre=(1.95, 0.0, 1.05))
        """
        return list(self._walked().exits)

    def route(self, start: str, end: str) -> list[str]:
        """The shortest way from one room to another (by the distance between
        room centroids) through every passage but "none" of the graph `graph()`
        makes with its defaults (kept: see the class): doors, openings, stairs
        and rooms open to each other.

        Parameters:
            start, end: the rooms, each by its global id, name or long name.

        Returns:
            The names of the rooms passed, `start`'s first and `end`'s last;
            [] when no way leads there.

        Raises:
            KeyError: no room has that global id or name.
            ValueError: several rooms share that name.

        Example:
            >>> building.route("study", "bedroom")  # doctest: +SKIP
            ['0.04', '0.03', '0.01', '1.01', '1.04', '1.03']
        """
        first, last = self.position(start), self.position(end)
        return [self.spaces[i].name for i in self._walked().walkable.find_shortest_path(first, last)]

    def route_out(self, start: str) -> list[str]:
        """The way from a room to the room of its nearest exit by distance
        walked (see `egress`).

        Parameters:
            start: the room, by its global id, name or long name.

        Returns:
            The names of the rooms passed, as `route` gives them; [] when no
            exit can be reached.

        Raises:
            KeyError, ValueError: as `route`.

        Example:
            >>> building.route_out("3.0.1")  # doctest: +SKIP
            ['3.0.1', '3.0.3', '3.1.3']
        """
        first = self.position(start)
        return [self.spaces[i].name for i in self._walked().way_out().route(first)]

    def egress(self) -> dict[str, float]:
        """The distance walked from each room to its nearest exit. A way leads
        from a room's centroid to the contact centroid of a passage and on to
        the next room's centroid, and at the end from the room's centroid to
        the exit's centre, over the passages and exits of the graph `graph()`
        makes with its defaults (kept: see the class); one search from all
        exits at once finds them.

        Returns:
            A new dict: metres by the room's global id, math.inf where no
            exit can be reached.

        Example:
            >>> max(building.egress().values())  # doctest: +SKIP
            9.87...
        """
        distances = self._walked().way_out().distance
        return {space.global_id: d for space, d in zip(self.spaces, distances)}

    def _walked(self) -> Walk:
        """The default graph and what is found on it, kept (see the class)."""
        if self._walk is None or self._walk.registry is not self.registry:
            self._walk = Walk(self)
        return self._walk

    def position(self, room: str) -> int:
        """The node position of a room, the first whose global id matches, else
        the one whose name or long name does.

        Parameters:
            room: a global id, name or long name.

        Returns:
            The room's position in `spaces`, and its node's in any graph built from the registry.

        Raises:
            KeyError: no room has that global id or name.
            ValueError: several rooms share that name (the message lists their global ids).

        Example:
            >>> building.spaces[building.position("study")].name  # doctest: +SKIP
            '0.04'
        """
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


class Walk:
    """A building's graph with its defaults, its passable edges and exits, and
    (once asked for) every room's way out."""

    def __init__(self, building: Building) -> None:
        self.registry = building.registry
        self.graph = building.graph()
        self.walkable = passable(self.graph)
        self.exits = find_exits(self.graph, self.registry, building.apertures, TOLERANCE, WALL_THICKNESS)
        self._way_out: WayOut | None = None

    def way_out(self) -> WayOut:
        if self._way_out is None:
            self._way_out = WayOut(self.walkable, self.exits)
        return self._way_out


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
