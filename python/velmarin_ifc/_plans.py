"""A plan of each storey of a building with its graph drawn over it (matplotlib)."""

from __future__ import annotations

import collections
import math
import os
from collections.abc import Sequence
from typing import TYPE_CHECKING, Any, Union

from velmarin import GraphEdge, Mesh, SpatialGraph, Vector3D
from velmarin_ifc._geometry import FACING_UP, face_normal
from velmarin_ifc._passages import DOOR, NONE, OPEN, OPENING, PASSAGES, STAIR

if TYPE_CHECKING:
    from matplotlib.axes import Axes

    from velmarin_ifc._building import Building

# Colours and widths of the passages, the way through first.
STYLE: dict[str, tuple[str, float, Any]] = {
    DOOR: ("#2b8a3e", 2.0, "-"),
    OPENING: ("#1098ad", 2.0, "-"),
    STAIR: ("#ae3ec9", 2.0, "-"),
    OPEN: ("#1971c2", 1.6, (0, (3, 2))),
    NONE: ("#adb5bd", 0.7, "-"),
}
ROOM_FILL, ROOM_EDGE, LABEL = "#f1f3f5", "#495057", "#343a40"
NODE, EXIT, ROUTE = "#1c7ed6", "#e03131", "#f76707"
# The drawing's scale: a metre in inches, and at most this wide a figure.
METRE_INCHES = 0.4
FIGURE_INCHES = 16.0
MARGIN = 0.8  # metres around the rooms of every panel
LABEL_POINTS = 7.0

PlanPoint = tuple[float, float]
Room = Union[int, str]


def draw_plans(
    building: Building,
    path: str | os.PathLike[str],
    graph: SpatialGraph | None = None,
    route: Sequence[Room] | None = None,
) -> None:
    """Draws a plan of each storey of a building, with its graph over it, into
    an image file (its format from the file's suffix: .png, .svg, .pdf).

    One panel per storey, lowest first (spaces outside any storey in a panel
    of their own): each room's outline from its floor faces seen from above,
    shaded and labelled with its name (and long name), and its node at its
    centroid. Each edge across a wall runs from one room's node through the
    contact's centroid to the other's, coloured by its passage (door,
    opening, stair, open, none); an edge across a slab is a triangle at the
    contact's centroid in both rooms' panels, pointing up in the lower room
    and down in the upper one. The building's exits (`Building.exits`) are
    red diamonds, the route a wide orange line through the passages it takes.

    Parameters:
        building: what `read_building` read.
        path: the file to write.
        graph: a graph of `building.graph()` (any tolerance and thicknesses);
            the building's own with the defaults when None.
        route: rooms in the order walked, as node positions, global ids or
            names (what `Building.route` and `route_out` give).

    Raises:
        ImportError: matplotlib is not installed (``pip install 'velmarin[plot]'``).
        KeyError, ValueError: a room of the route, as `Building.position` raises them.
        IndexError: a position of the route beyond the rooms.

    Example:
        >>> draw_plans(building, "plans.png", route=building.route_out("0.04"))  # doctest: +SKIP
    """
    try:
        # A figure of its own, not pyplot's: the caller's backend and figures stay as they are.
        from matplotlib.figure import Figure
    except ImportError as missing:
        raise ImportError(
            "draw_plans draws with matplotlib, which is not installed; install it with: pip install 'velmarin[plot]'"
        ) from missing

    graph = graph if graph is not None else building._walked().graph
    rooms = [room_position(building, room) for room in route or ()]
    storeys = Storeys(building)
    columns, rows = panel_grid(len(storeys.titles), storeys.extent())
    (x0, y0), (x1, y1) = storeys.extent()
    scale = min(METRE_INCHES, FIGURE_INCHES / (columns * (x1 - x0)))
    height = rows * ((y1 - y0) * scale + 0.4) + 0.8  # a title over each panel, the legend under them
    figure = Figure(figsize=(columns * (x1 - x0) * scale + 0.4, height))
    axes = list(figure.subplots(rows, columns, squeeze=False).flat)
    for k, ax in enumerate(axes):
        ax.set_xlim(x0, x1)
        ax.set_ylim(y0, y1)
        ax.set_aspect("equal")
        ax.axis("off")
        if k < len(storeys.titles):
            ax.set_title(storeys.titles[k], fontsize=11)
    centres = [(node.centroid.x, node.centroid.y) for node in graph.nodes]
    draw_rooms(axes, building, storeys, scale)
    draw_edges(axes, graph, storeys.of_room, centres)
    draw_exits(axes, building, storeys.of_room, centres)
    draw_route(axes, graph, storeys.of_room, centres, rooms)
    for room, (x, y) in enumerate(centres):
        axes[storeys.of_room[room]].plot([x], [y], "o", markersize=4, color=NODE, zorder=6)
    handles = legend_handles(bool(rooms))
    figure.legend(
        handles=handles,
        loc="lower center",
        ncol=len(handles),
        fontsize=8,
        frameon=False,
        handlelength=2.5,
        columnspacing=1.2,
    )
    figure.tight_layout(rect=(0, 0.6 / height, 1, 1))
    figure.savefig(os.fspath(path), dpi=110)


def room_position(building: Building, room: Room) -> int:
    if not isinstance(room, int):
        return building.position(room)
    if not 0 <= room < len(building.spaces):
        raise IndexError(f"no room at position {room}; the building has {len(building.spaces)}")
    return room


class Storeys:
    """The panels: one per storey by elevation, lowest first, and a last one
    for the spaces outside any storey; the panel of each room and the plan
    outlines of its floor faces."""

    def __init__(self, building: Building) -> None:
        levels = sorted({(s.elevation, s.storey) for s in building.spaces if not math.isnan(s.elevation)})
        self.titles = [f"{name or 'storey'} ({elevation:+.2f} m)" for elevation, name in levels]
        panel = {level: k for k, level in enumerate(levels)}
        if any(math.isnan(s.elevation) for s in building.spaces) or not levels:
            self.titles.append("outside any storey")
        self.of_room = [panel.get((s.elevation, s.storey), len(levels)) for s in building.spaces]
        self.floors = [Floor(mesh) for mesh in building.registry.meshes]

    def extent(self) -> tuple[PlanPoint, PlanPoint]:
        points = [p for floor in self.floors for face in floor.faces for p in face] or [(0.0, 0.0)]
        xs, ys = [x for x, _ in points], [y for _, y in points]
        return (min(xs) - MARGIN, min(ys) - MARGIN), (max(xs) + MARGIN, max(ys) + MARGIN)


class Floor:
    """A room's faces that face down, seen from above, and their outline."""

    def __init__(self, mesh: Mesh) -> None:
        points = mesh.vertices
        faces = [face for face in mesh.faces if facing_down([points[i] for i in face])]
        self.faces = [[(points[i].x, points[i].y) for i in face] for face in faces]
        self.outline = outline(self.faces)


def outline(faces: list[list[PlanPoint]]) -> list[tuple[PlanPoint, PlanPoint]]:
    """The pieces of the faces' sides that one face runs along, or three, or
    any odd number: where faces meet, even where one's side ends halfway
    along another's, their sides cover each other twice."""
    lines: dict[tuple[float, float, float], list[tuple[float, float]]] = collections.defaultdict(list)
    for face in faces:
        for (ax, ay), (bx, by) in zip(face, [*face[1:], face[0]]):
            length = math.hypot(bx - ax, by - ay)
            if length == 0.0:
                continue
            ux, uy = (bx - ax) / length, (by - ay) / length
            if ux < 0.0 or (ux == 0.0 and uy < 0.0):
                ux, uy = -ux, -uy
            key = (round(ux, 6) + 0.0, round(uy, 6) + 0.0, round(ux * ay - uy * ax, 4) + 0.0)
            lines[key].append(tuple(sorted((ux * ax + uy * ay, ux * bx + uy * by))))  # type: ignore[arg-type]
    pieces = []
    for (ux, uy, offset), spans in lines.items():
        ends = sorted({t for span in spans for t in span})
        for t0, t1 in zip(ends, ends[1:]):
            if sum(a <= t0 and t1 <= b for a, b in spans) % 2:
                pieces.append(
                    ((ux * t0 - uy * offset, uy * t0 + ux * offset), (ux * t1 - uy * offset, uy * t1 + ux * offset))
                )
    return pieces


def facing_down(polygon: list[Vector3D]) -> bool:
    normal = face_normal(polygon)
    return normal is not None and normal[2] < -FACING_UP


def panel_grid(panels: int, extent: tuple[PlanPoint, PlanPoint]) -> tuple[int, int]:
    """Columns and rows of panels for a figure about half again as wide as high."""
    (x0, y0), (x1, y1) = extent
    aspect = (x1 - x0) / (y1 - y0)
    shapes = [(columns, -(-panels // columns)) for columns in range(1, max(panels, 1) + 1)]
    return min(shapes, key=lambda shape: abs(math.log(shape[0] * aspect / shape[1] / 1.5)))


def draw_rooms(axes: list[Axes], building: Building, storeys: Storeys, scale: float) -> None:
    """The rooms' floors, each labelled under its top edge with its name and
    long name, or as much of it as fits its width."""
    from matplotlib.collections import LineCollection
    from matplotlib.patches import Polygon

    for room, (space, floor) in enumerate(zip(building.spaces, storeys.floors)):
        ax = axes[storeys.of_room[room]]
        for face in floor.faces:
            ax.add_patch(Polygon(face, closed=True, facecolor=ROOM_FILL, edgecolor="none", zorder=1))
        ax.add_collection(LineCollection(floor.outline, colors=ROOM_EDGE, linewidths=0.8, zorder=1.5))
        if not floor.faces:
            continue
        largest = max(floor.faces, key=lambda o: abs(signed_area(o)))
        xs, ys = [x for x, _ in largest], [y for _, y in largest]
        width = (max(xs) - min(xs)) * scale * 72  # in points
        lines = [line for line in (space.name, space.long_name) if line]
        while lines and max(map(len, lines)) * LABEL_POINTS * 0.55 > width and len(lines) > 1:
            lines.pop()
        size = min(LABEL_POINTS, width / (0.55 * max(1, len(lines[0]) if lines else 1)))
        ax.text(
            area_centroid(largest)[0],
            max(ys) - 0.15,
            "\n".join(lines),
            ha="center",
            va="top",
            fontsize=max(size, 4.0),
            color=LABEL,
            zorder=7,
            linespacing=1.0,
        )


def draw_edges(axes: list[Axes], graph: SpatialGraph, storey_of: list[int], centres: list[PlanPoint]) -> None:
    for edge in sorted(graph.edges, key=lambda e: -PASSAGES.index(passage_of(e))):  # the ways through on top
        colour, width, style = STYLE[passage_of(edge)]
        c = edge.contact_centroid
        a, b = edge.node_a, edge.node_b
        layer = 3 if passage_of(edge) == NONE else 4
        if edge.contact_type == "VerticalWallContact" or storey_of[a] == storey_of[b]:
            axes[storey_of[a]].plot(
                [centres[a][0], c.x, centres[b][0]],
                [centres[a][1], c.y, centres[b][1]],
                color=colour,
                linewidth=width,
                linestyle=style,
                zorder=layer,
            )
            continue
        lower, upper = (a, b) if graph.nodes[a].centroid.z < graph.nodes[b].centroid.z else (b, a)
        for room, marker in ((lower, "^"), (upper, "v")):
            ax = axes[storey_of[room]]
            if passage_of(edge) != NONE:
                ax.plot(
                    [centres[room][0], c.x],
                    [centres[room][1], c.y],
                    color=colour,
                    linewidth=width,
                    linestyle=style,
                    zorder=layer,
                )
            # Over the nodes and the route: rooms stacked alike have their slab contact at their centroid.
            ax.plot(
                [c.x],
                [c.y],
                marker,
                markersize=8 if passage_of(edge) != NONE else 4,
                color=colour,
                markeredgecolor="white",
                markeredgewidth=0.6,
                zorder=layer + 0.5 if passage_of(edge) == NONE else 7,
            )


def draw_exits(axes: list[Axes], building: Building, storey_of: list[int], centres: list[PlanPoint]) -> None:
    for way_out in building.exits:
        ax = axes[storey_of[way_out.room]]
        x, y, _ = way_out.centre
        ax.plot(
            [centres[way_out.room][0], x],
            [centres[way_out.room][1], y],
            color=EXIT,
            linewidth=1.0,
            linestyle=(0, (2, 2)),
            zorder=5,
        )
        ax.plot([x], [y], "D", markersize=7, color=EXIT, markeredgecolor="white", zorder=8)


def draw_route(
    axes: list[Axes], graph: SpatialGraph, storey_of: list[int], centres: list[PlanPoint], rooms: list[int]
) -> None:
    """The route through the contact centroid of the shortest passable edge
    between each two rooms it joins (straight from room to room where none is)."""
    steps: dict[frozenset[int], GraphEdge] = {}
    for edge in graph.edges:
        pair = frozenset((edge.node_a, edge.node_b))
        if passage_of(edge) != NONE and (pair not in steps or detour(edge, centres) < detour(steps[pair], centres)):
            steps[pair] = edge
    style: dict[str, Any] = {"color": ROUTE, "linewidth": 4.5, "alpha": 0.75, "solid_capstyle": "round", "zorder": 5}
    for a, b in zip(rooms, rooms[1:]):
        step = steps.get(frozenset((a, b)))
        via = (step.contact_centroid.x, step.contact_centroid.y) if step is not None else centres[b]
        axes[storey_of[a]].plot([centres[a][0], via[0]], [centres[a][1], via[1]], **style)
        axes[storey_of[b]].plot([via[0], centres[b][0]], [via[1], centres[b][1]], **style)
    for room in rooms:
        axes[storey_of[room]].plot([centres[room][0]], [centres[room][1]], "o", markersize=9, color=ROUTE, zorder=5)


def legend_handles(with_route: bool) -> list[Any]:
    from matplotlib.lines import Line2D

    handles = [
        Line2D([], [], color=STYLE[p][0], linewidth=STYLE[p][1], linestyle=STYLE[p][2], label=p) for p in PASSAGES
    ]
    handles.append(
        Line2D(
            [],
            [],
            marker="^",
            markersize=7,
            color="#495057",
            linestyle="none",
            label="across the slab above (below: ▼)",
        )
    )
    handles.append(Line2D([], [], marker="o", markersize=4, color=NODE, linestyle="none", label="room (node)"))
    handles.append(Line2D([], [], marker="D", markersize=7, color=EXIT, linestyle="none", label="exit"))
    if with_route:
        handles.append(Line2D([], [], color=ROUTE, linewidth=4.5, alpha=0.75, label="route"))
    return handles


def passage_of(edge: GraphEdge) -> str:
    passage = edge.get_attribute("passage")
    return passage if passage in STYLE else NONE


def detour(edge: GraphEdge, centres: list[PlanPoint]) -> float:
    c = edge.contact_centroid
    return math.dist(centres[edge.node_a], (c.x, c.y)) + math.dist((c.x, c.y), centres[edge.node_b])


def signed_area(outline: Sequence[PlanPoint]) -> float:
    return sum(ax * by - bx * ay for (ax, ay), (bx, by) in zip(outline, [*outline[1:], outline[0]])) / 2


def area_centroid(outline: Sequence[PlanPoint]) -> PlanPoint:
    area = signed_area(outline)
    if abs(area) < 1e-12:
        return sum(x for x, _ in outline) / len(outline), sum(y for _, y in outline) / len(outline)
    cx = cy = 0.0
    for (ax, ay), (bx, by) in zip(outline, [*outline[1:], outline[0]]):
        cross = ax * by - bx * ay
        cx += (ax + bx) * cross
        cy += (ay + by) * cross
    return cx / (6 * area), cy / (6 * area)
