"""The house of examples/house.py as an IFC building model, written as authoring tools write one.

Shared by the IFC example, its tests and its benchmark. `house_layout()` reads
the house as a `Layout` (rooms on wall axes, doors and windows, columns) and
adds a stair void from the hall to the landing; `write_model(path, layout)`
writes any layout as an IFC4 or IFC2X3 model with ifcopenshell's authoring API:

- every room an IfcSpace inside 0.2 m walls (`WALL`): its clear area is its
  rectangle on the wall axes shrunk by half a wall on each side (but on its
  open sides, where it meets the next room on the axis with no wall between),
  from its storey's floor to the underside of the 0.3 m slab above it
  (`SLAB`), or lower, to a suspended ceiling, where it is given a height.
  Ground floor spaces are extruded profiles, the spaces above faceted breps;
- every wall run on one axis of one storey an IfcWall, every storey an
  IfcSlab on top; each door and window an IfcOpeningElement through its wall
  (exactly the wall's thickness) filled by an IfcDoor or IfcWindow whose body
  is a 5 cm leaf in the middle of the wall, each doorway such an opening
  that nothing fills; each stair void an IfcOpeningElement through the slab,
  exactly its thickness;
- each flight an IfcStairFlight from its storey's floor to the next one's,
  its body a box for each step;
- every column an IfcColumn of 0.3 m square from floor to slab;
- one IfcSpace without any geometry, as exporters write a room that was
  never placed.

Every element is placed relative to its storey, spaces at their own corner,
so world coordinates come only through the placement chain. A model may be
written in millimetres, as many tools do; the layout is in metres either way.

So by construction, with the house's plan: 15 pairs of rooms face each
other, 10 across a wall 0.2 m thick and 5 across a slab 0.3 m thick; 6 doors
(0.9 m x 2.1 m) and the stair void (1.0 m x 2.5 m) connect rooms.
"""

from __future__ import annotations

import os
from collections.abc import Sequence
from dataclasses import dataclass, field
from typing import Any, Literal

import ifcopenshell
import ifcopenshell.api.aggregate
import ifcopenshell.api.context
import ifcopenshell.api.feature
import ifcopenshell.api.owner
import ifcopenshell.api.project
import ifcopenshell.api.root
import ifcopenshell.api.spatial
import ifcopenshell.api.unit

from house import STOREY_HEIGHT, build_house

WALL = 0.2
SLAB = 0.3
COLUMN = 0.3
LEAF = 0.05
STAIR_VOID = (0.4, 0.6, 1.4, 3.1)  # in the hall, x0, y0, x1, y1: 1.0 m x 2.5 m
STOREY_NAMES = ["Ground floor", "Upper floor"]

Rectangle = tuple[float, float, float, float]  # x0, y0, x1, y1
Schema = Literal["IFC2X3", "IFC4"]


@dataclass(frozen=True)
class LayoutRoom:
    number: str  # the IfcSpace's Name, as tools write room numbers
    name: str  # its LongName
    storey: int
    axes: Rectangle  # on the wall axes
    height: float | None = None  # up to a suspended ceiling; None: to the slab
    # The sides ("x0", "y0", "x1" or "y1") with no wall, where the room reaches
    # the axis; the room across must be open there too, along the same span.
    open: tuple[str, ...] = ()

    @property
    def clear(self) -> Rectangle:
        x0, y0, x1, y1 = self.axes

        def inset(side: str) -> float:
            return 0.0 if side in self.open else WALL / 2

        return x0 + inset("x0"), y0 + inset("y0"), x1 - inset("x1"), y1 - inset("y1")


@dataclass(frozen=True)
class LayoutOpening:
    kind: str  # "door", "window" or "doorway" (an opening nothing fills)
    storey: int
    start: tuple[float, float]  # its width on a wall axis, from start to end
    end: tuple[float, float]
    sill: float  # above the storey's floor
    height: float


@dataclass(frozen=True)
class LayoutFlight:
    storey: int  # from this storey's floor to the next one's
    footprint: Rectangle
    rising: str  # towards "+x" or "+y"
    risers: int


@dataclass
class Layout:
    rooms: list[LayoutRoom]
    openings: list[LayoutOpening]
    stairs: list[tuple[int, Rectangle]]  # a void in the slab above the storey
    columns: list[tuple[int, float, float]]  # storey, x, y
    unplaced: list[str] = field(default_factory=list)  # long names of spaces without geometry
    flights: list[LayoutFlight] = field(default_factory=list)
    storey_height: float = STOREY_HEIGHT

    @property
    def storeys(self) -> int:
        return 1 + max(room.storey for room in self.rooms)

    def room(self, name: str) -> LayoutRoom:
        return next(room for room in self.rooms if room.name == name)


def house_layout() -> Layout:
    house = build_house()
    rooms, numbers = [], {0: 0, 1: 0}
    for room in house.rooms:
        numbers[room.storey] += 1
        rooms.append(
            LayoutRoom(
                f"{room.storey}.{numbers[room.storey]:02d}",
                room.name,
                room.storey,
                (room.x0, room.y0, room.x1, room.y1),
            )
        )
    openings = []
    for opening in house.openings:
        heights = [v.z - opening.storey * STOREY_HEIGHT for v in opening.mesh.vertices]
        openings.append(
            LayoutOpening(
                opening.kind, opening.storey, opening.start, opening.end, min(heights), max(heights) - min(heights)
            )
        )
    columns = [(round(c.start.z / STOREY_HEIGHT), c.start.x, c.start.y) for c in house.columns]
    return Layout(rooms, openings, [(0, STAIR_VOID)], columns, ["store"])


def write_model(
    path: str | os.PathLike[str], layout: Layout, schema: Schema = "IFC4", millimetres: bool = False
) -> None:
    """Writes the layout as an IFC model of the given schema ("IFC4" or "IFC2X3")."""
    ModelWriter(layout, schema, millimetres).model.write(os.fspath(path))


def wall_runs(rooms: Sequence[LayoutRoom]) -> list[tuple[str, float, float, float]]:
    """The walls of one storey: every maximal run of room sides on one axis line.

    Each run is (axis, position, from, to): "x" for a wall along x at y =
    position, "y" for one along y at x = position.
    """
    sides: dict[tuple[str, float], list[tuple[float, float]]] = {}
    for room in rooms:
        x0, y0, x1, y1 = room.axes
        for side, key, span in (
            ("y0", ("x", y0), (x0, x1)),
            ("y1", ("x", y1), (x0, x1)),
            ("x0", ("y", x0), (y0, y1)),
            ("x1", ("y", x1), (y0, y1)),
        ):
            if side not in room.open:
                sides.setdefault(key, []).append(span)
    runs = []
    for (axis, position), spans in sorted(sides.items()):
        spans.sort()
        start, end = spans[0]
        for a, b in spans[1:]:
            if a > end:
                runs.append((axis, position, start, end))
                start = a
            end = max(end, b)
        runs.append((axis, position, start, end))
    return runs


class ModelWriter:
    def __init__(self, layout: Layout, schema: Schema, millimetres: bool) -> None:
        self.scale = 1000.0 if millimetres else 1.0
        self.storey_height = layout.storey_height
        self.clear_height = layout.storey_height - SLAB
        self.model = ifcopenshell.api.project.create_file(version=schema)
        self.ifc2x3 = schema == "IFC2X3"
        api = ifcopenshell.api
        if self.ifc2x3:  # where every rooted entity must name its owner, the first user found
            api.owner.add_application(self.model)
            api.owner.add_person_and_organisation(
                self.model,
                person=api.owner.add_person(self.model, family_name="Generator"),
                organisation=api.owner.add_organisation(self.model, name="velmarin examples"),
            )
        project = api.root.create_entity(self.model, "IfcProject", name="Generated house")
        api.unit.assign_unit(self.model, length={"is_metric": True, "raw": "MILLIMETERS" if millimetres else "METERS"})
        model_context = api.context.add_context(self.model, context_type="Model")
        self.body = api.context.add_context(
            self.model, context_type="Model", context_identifier="Body", target_view="MODEL_VIEW", parent=model_context
        )
        site = self.product("IfcSite", "Site", None)
        building = self.product("IfcBuilding", "House", site.ObjectPlacement)
        api.aggregate.assign_object(self.model, products=[site], relating_object=project)
        api.aggregate.assign_object(self.model, products=[building], relating_object=site)
        self.storeys = []
        for level in range(layout.storeys):
            name = STOREY_NAMES[level] if level < len(STOREY_NAMES) else f"Storey {level}"
            storey = self.product("IfcBuildingStorey", name, building.ObjectPlacement, z=level * self.storey_height)
            storey.Elevation = level * self.storey_height * self.scale
            api.aggregate.assign_object(self.model, products=[storey], relating_object=building)
            self.storeys.append(storey)
        for level in range(layout.storeys):
            rooms = [room for room in layout.rooms if room.storey == level]
            walls = self.write_walls(level, rooms)
            slab = self.write_slab(level, rooms)
            for room in rooms:
                self.write_space(room)
            for opening in layout.openings:
                if opening.storey == level:
                    self.write_opening(opening, walls)
            for storey, void in layout.stairs:
                if storey == level:
                    self.void(slab, "Stair void", void, self.clear_height, SLAB)
        for flight in layout.flights:
            self.write_flight(flight)
        for level, x, y in layout.columns:
            h = COLUMN / 2
            column = self.element("IfcColumn", "Column", level)
            self.represent(column, self.extrusion((x - h, y - h, x + h, y + h), 0.0, self.clear_height))
        for number, name in enumerate(layout.unplaced, start=1):
            space = self.product("IfcSpace", f"X.{number:02d}", None)
            space.LongName = name
            self.describe_space(space)

    # Spatial structure and elements.

    def product(
        self, ifc_class: str, name: str, relative_to: Any, x: float = 0.0, y: float = 0.0, z: float = 0.0
    ) -> Any:
        entity = ifcopenshell.api.root.create_entity(self.model, ifc_class, name=name)
        if ifc_class != "IfcSpace" or relative_to is not None:
            entity.ObjectPlacement = self.model.createIfcLocalPlacement(relative_to, self.axes(x, y, z))
        return entity

    def element(self, ifc_class: str, name: str, level: int) -> Any:
        entity = self.product(ifc_class, name, self.storeys[level].ObjectPlacement)
        ifcopenshell.api.spatial.assign_container(self.model, products=[entity], relating_structure=self.storeys[level])
        return entity

    def write_space(self, room: LayoutRoom) -> None:
        x0, y0, x1, y1 = room.clear
        space = self.product("IfcSpace", room.number, self.storeys[room.storey].ObjectPlacement, x0, y0)
        space.LongName = room.name
        self.describe_space(space)
        ifcopenshell.api.aggregate.assign_object(
            self.model, products=[space], relating_object=self.storeys[room.storey]
        )
        local = (0.0, 0.0, x1 - x0, y1 - y0)
        height = self.clear_height if room.height is None else room.height
        if room.storey % 2 == 0:
            self.represent(space, self.extrusion(local, 0.0, height))
        else:
            self.represent(space, self.faceted_box(local, 0.0, height), kind="Brep")

    def describe_space(self, space: Any) -> None:
        if self.ifc2x3:  # required there
            space.CompositionType = "ELEMENT"
            space.InteriorOrExteriorSpace = "INTERNAL"

    def write_walls(self, level: int, rooms: Sequence[LayoutRoom]) -> list[tuple[tuple[str, float, float, float], Any]]:
        walls = []
        h = WALL / 2
        for run in wall_runs(rooms):
            axis, position, start, end = run
            wall = self.element("IfcWall", "Wall", level)
            if axis == "x":
                footprint = (start - h, position - h, end + h, position + h)
            else:
                footprint = (position - h, start - h, position + h, end + h)
            self.represent(wall, self.extrusion(footprint, 0.0, self.clear_height))
            walls.append((run, wall))
        return walls

    def write_slab(self, level: int, rooms: Sequence[LayoutRoom]) -> Any:
        h = WALL / 2
        x0 = min(r.axes[0] for r in rooms) - h
        y0 = min(r.axes[1] for r in rooms) - h
        x1 = max(r.axes[2] for r in rooms) + h
        y1 = max(r.axes[3] for r in rooms) + h
        slab = self.element("IfcSlab", "Slab", level)
        self.represent(slab, self.extrusion((x0, y0, x1, y1), self.clear_height, SLAB))
        return slab

    def write_opening(
        self, opening: LayoutOpening, walls: Sequence[tuple[tuple[str, float, float, float], Any]]
    ) -> None:
        (ax, ay), (bx, by) = opening.start, opening.end
        axis = "y" if ax == bx else "x"
        position, a, b = (ax, min(ay, by), max(ay, by)) if axis == "y" else (ay, min(ax, bx), max(ax, bx))
        host = next(
            wall
            for (run_axis, run_at, start, end), wall in walls
            if run_axis == axis and run_at == position and start <= a and b <= end
        )

        def across(thickness: float) -> Rectangle:
            t = thickness / 2
            return (position - t, a, position + t, b) if axis == "y" else (a, position - t, b, position + t)

        void = self.void(host, f"{opening.kind.capitalize()} opening", across(WALL), opening.sill, opening.height)
        if opening.kind == "doorway":
            return
        filling = self.element(
            "IfcDoor" if opening.kind == "door" else "IfcWindow", opening.kind.capitalize(), opening.storey
        )
        filling.OverallWidth = (b - a) * self.scale
        filling.OverallHeight = opening.height * self.scale
        self.represent(filling, self.extrusion(across(LEAF), opening.sill, opening.height))
        ifcopenshell.api.feature.add_filling(self.model, opening=void, element=filling)

    def write_flight(self, flight: LayoutFlight) -> None:
        """A flight of equal steps up to the next storey's floor, its body a box
        from the floor to each step's tread."""
        x0, y0, x1, y1 = flight.footprint
        along_x = flight.rising == "+x"
        start, length = (x0, x1 - x0) if along_x else (y0, y1 - y0)
        run, rise = length / flight.risers, self.storey_height / flight.risers
        steps = []
        for k in range(flight.risers):
            a, b = start + k * run, start + (k + 1) * run
            steps.append(self.extrusion((a, y0, b, y1) if along_x else (x0, a, x1, b), 0.0, (k + 1) * rise))
        self.represent(self.element("IfcStairFlight", "Flight", flight.storey), *steps)

    def void(self, host: Any, name: str, footprint: Rectangle, z: float, depth: float) -> Any:
        opening = self.product("IfcOpeningElement", name, host.ObjectPlacement)
        self.represent(opening, self.extrusion(footprint, z, depth))
        ifcopenshell.api.feature.add_feature(self.model, feature=opening, element=host)
        return opening

    # Geometry, in the element's own coordinates (metres, scaled on writing).

    def point(self, *coordinates: float) -> Any:
        return self.model.createIfcCartesianPoint([float(c * self.scale) for c in coordinates])

    def axes(self, x: float = 0.0, y: float = 0.0, z: float = 0.0) -> Any:
        return self.model.createIfcAxis2Placement3D(self.point(x, y, z), None, None)

    def represent(self, product: Any, *solids: Any, kind: str = "SweptSolid") -> None:
        shape = self.model.createIfcShapeRepresentation(self.body, "Body", kind, list(solids))
        product.Representation = self.model.createIfcProductDefinitionShape(None, None, [shape])

    def extrusion(self, footprint: Rectangle, z: float, depth: float) -> Any:
        x0, y0, x1, y1 = footprint
        ring = [self.point(x, y) for x, y in ((x0, y0), (x1, y0), (x1, y1), (x0, y1), (x0, y0))]
        profile = self.model.createIfcArbitraryClosedProfileDef("AREA", None, self.model.createIfcPolyline(ring))
        up = self.model.createIfcDirection((0.0, 0.0, 1.0))
        return self.model.createIfcExtrudedAreaSolid(profile, self.axes(0.0, 0.0, z), up, depth * self.scale)

    def faceted_box(self, footprint: Rectangle, z: float, depth: float) -> Any:
        x0, y0, x1, y1 = footprint
        corners = [self.point(x, y, h) for h in (z, z + depth) for x, y in ((x0, y0), (x1, y0), (x1, y1), (x0, y1))]
        # Each loop counter-clockwise seen from outside.
        loops = [(0, 3, 2, 1), (4, 5, 6, 7), (0, 1, 5, 4), (1, 2, 6, 5), (2, 3, 7, 6), (3, 0, 4, 7)]
        faces = [
            self.model.createIfcFace(
                [self.model.createIfcFaceOuterBound(self.model.createIfcPolyLoop([corners[k] for k in loop]), True)]
            )
            for loop in loops
        ]
        return self.model.createIfcFacetedBrep(self.model.createIfcClosedShell(faces))
