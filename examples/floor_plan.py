"""The floor plan of each storey with the building's dual graph drawn over it.

Rooms are the shaded cells, doors the gaps in the walls, windows the blue
strokes, columns the black squares. Each room is a node at its centroid;
shared walls are solid edges, drawn through the middle of the contact, and
shared slabs dashed edges between the two plans. The route from the hall to
the bedroom is highlighted. Writes a PNG (default: docs/house.png).

`draw_plans` draws any building given as a `PlanView`; examples/ifc_building.py
draws a model read from IFC with it, where edges through doors and stair
voids (an "opening_area" above zero) are told apart from plain walls and slabs.
"""

import sys
from dataclasses import dataclass, field
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.axes import Axes  # noqa: E402
from matplotlib.lines import Line2D  # noqa: E402
from matplotlib.patches import ConnectionPatch, Polygon  # noqa: E402

from house import STOREY_HEIGHT, House, build_house  # noqa: E402
from velmarin import GraphEdge, SpatialGraph, SpatialRegistry  # noqa: E402

ROUTE_COLOUR = "#e8590c"
WALL_COLOUR = "#343a40"
SLAB_COLOUR = "#868e96"
DOOR_COLOUR = "#2b8a3e"
ROOM_COLOUR = "#f1f3f5"
WINDOW_COLOUR = "#1c7ed6"
LEAF_COLOUR = "#862e9c"
STOREY_NAMES = ["Ground floor", "Upper floor"]

Point = tuple[float, float]


@dataclass
class PlanView:
    """What the plans show, each item on the storey (a position in `titles`) it stands on.

    Marks are doors, windows and voids, each a segment or an outline in plan:
    "gap" (an opening in a wall, drawn in the room colour), "door" (a leaf),
    "window" or "void" (a hole in the slab). `walls` are the outlines drawn
    in the wall colour under the rooms, for walls with a thickness.
    """

    titles: list[str]
    rooms: list[tuple[int, list[Point], str]]  # storey, outline, label
    node_storeys: list[int]  # the storey of each graph node
    marks: list[tuple[int, str, list[Point]]] = field(default_factory=list)
    columns: list[tuple[int, Point]] = field(default_factory=list)
    walls: list[tuple[int, list[Point]]] = field(default_factory=list)

    def bounds(self) -> tuple[float, float, float, float]:
        xs = [x for _, outline, _ in self.rooms for x, _ in outline]
        ys = [y for _, outline, _ in self.rooms for _, y in outline]
        return min(xs), min(ys), max(xs), max(ys)


def house_view(house: House) -> PlanView:
    rooms = [
        (room.storey, [(room.x0, room.y0), (room.x1, room.y0), (room.x1, room.y1), (room.x0, room.y1)], room.name)
        for room in house.rooms
    ]
    marks = [(o.storey, "gap" if o.kind == "door" else "window", [o.start, o.end]) for o in house.openings]
    columns = [(int(c.start.z // STOREY_HEIGHT), (c.start.x, c.start.y)) for c in house.columns]
    return PlanView(STOREY_NAMES, rooms, [room.storey for room in house.rooms], marks, columns)


def draw_storey(ax: Axes, view: PlanView, storey: int) -> None:
    for level, outline in view.walls:
        if level == storey:
            ax.add_patch(Polygon(outline, facecolor="#495057", edgecolor="none", zorder=0))
    for level, outline, label in view.rooms:
        if level != storey:
            continue
        ax.add_patch(
            Polygon(outline, facecolor=ROOM_COLOUR, edgecolor="#495057", linewidth=0.8 if view.walls else 2.5, zorder=1)
        )
        xs, ys = [x for x, _ in outline], [y for _, y in outline]
        ax.text(
            (min(xs) + max(xs)) / 2, max(ys) - 0.35, label, ha="center", va="top", fontsize=9, color="#495057", zorder=5
        )
    for level, kind, points in view.marks:
        if level != storey:
            continue
        colour = {"gap": ROOM_COLOUR, "door": LEAF_COLOUR, "window": WINDOW_COLOUR, "void": "white"}[kind]
        layer = 2 if kind in ("gap", "void") else 2.5  # leaves and glass over the gaps they fill
        if len(points) == 2:
            (ax_, ay), (bx, by) = points
            ax.plot([ax_, bx], [ay, by], color=colour, linewidth=4, solid_capstyle="butt", zorder=layer)
        else:
            ax.add_patch(
                Polygon(
                    points,
                    facecolor=colour,
                    edgecolor="#495057" if kind == "void" else "none",
                    hatch="///" if kind == "void" else None,
                    linewidth=0.6,
                    zorder=layer,
                )
            )
    for level, (x, y) in view.columns:
        if level == storey:
            ax.add_patch(
                Polygon(
                    [(x - 0.12, y - 0.12), (x + 0.12, y - 0.12), (x + 0.12, y + 0.12), (x - 0.12, y + 0.12)],
                    color="black",
                    zorder=3,
                )
            )
    x0, y0, x1, y1 = view.bounds()
    ax.set_title(view.titles[storey], fontsize=12)
    ax.set_xlim(x0 - 0.6, x1 + 0.6)
    ax.set_ylim(y0 - 0.6, y1 + 0.6)
    ax.set_aspect("equal")
    ax.axis("off")


def through_opening(edge: GraphEdge) -> bool:
    return bool((edge.get_attribute("opening_area") or 0.0) > 0.0)


def draw_graph(axes: list[Axes], view: PlanView, graph: SpatialGraph, route: list[int]) -> None:
    storey_of = view.node_storeys
    centre = [(n.centroid.x, n.centroid.y) for n in graph.nodes]
    middle = (view.bounds()[1] + view.bounds()[3]) / 2
    on_route = {frozenset(pair) for pair in zip(route, route[1:])}
    drawn_slabs: set[frozenset[int]] = set()
    for edge in graph.edges:
        a, b = edge.node_a, edge.node_b
        highlighted = frozenset((a, b)) in on_route
        plain = DOOR_COLOUR if through_opening(edge) else None
        if edge.contact_type == "VerticalWallContact":
            c = edge.contact_centroid
            xs, ys = [centre[a][0], c.x, centre[b][0]], [centre[a][1], c.y, centre[b][1]]
            axes[storey_of[a]].plot(
                xs,
                ys,
                color=ROUTE_COLOUR if highlighted else plain or WALL_COLOUR,
                linewidth=3.5 if highlighted else 1.4,
                zorder=6,
            )
            axes[storey_of[a]].plot([c.x], [c.y], marker="o", markersize=3, color=plain or WALL_COLOUR, zorder=7)
        elif frozenset((a, b)) not in drawn_slabs:  # one dashed link per pair of rooms
            drawn_slabs.add(frozenset((a, b)))
            lower, upper = sorted((a, b), key=lambda i: storey_of[i])
            # Arcs bow away from the plans' middle, so they stay clear of the rooms they pass.
            bow = 0.25 if centre[lower][1] < middle else -0.25
            link = ConnectionPatch(
                xyA=centre[lower],
                coordsA=axes[storey_of[lower]].transData,
                xyB=centre[upper],
                coordsB=axes[storey_of[upper]].transData,
                connectionstyle=f"arc3,rad={bow}",
                color=ROUTE_COLOUR if highlighted else plain or SLAB_COLOUR,
                linestyle="-" if highlighted else (0, (4, 3)),
                linewidth=2.5 if highlighted else 1.2 if plain else 0.8,
                alpha=0.9,
                zorder=4,
            )
            axes[0].figure.add_artist(link)
    for i, (x, y) in enumerate(centre):
        colour = ROUTE_COLOUR if i in route else "#1971c2"
        axes[storey_of[i]].plot(
            [x], [y], marker="o", markersize=11, color=colour, markeredgecolor="white", markeredgewidth=1.5, zorder=8
        )
        axes[storey_of[i]].text(
            x, y, str(i), ha="center", va="center", fontsize=7, color="white", fontweight="bold", zorder=9
        )


def legend(openings: bool) -> list[Line2D]:
    """The legend; `openings` adds the edges through doors and voids."""
    handles = [
        Line2D([], [], marker="o", markersize=9, color="#1971c2", linestyle="none", label="room (node)"),
        Line2D(
            [],
            [],
            color=WALL_COLOUR,
            linewidth=1.4,
            marker="o",
            markersize=3,
            label="shared wall (edge, through its contact centroid)",
        ),
        Line2D([], [], color=SLAB_COLOUR, linewidth=0.8, linestyle=(0, (4, 3)), label="shared slab (edge)"),
    ]
    if openings:
        handles[1].set_label("wall (edge)")
        handles += [
            Line2D([], [], color=DOOR_COLOUR, linewidth=1.4, label="through a door"),
            Line2D([], [], color=LEAF_COLOUR, linewidth=3, label="door leaf"),
            Line2D([], [], color=DOOR_COLOUR, linewidth=1.2, linestyle=(0, (4, 3)), label="through a stair void"),
        ]
    return handles + [
        Line2D([], [], color=ROUTE_COLOUR, linewidth=3, label="shortest route"),
        Line2D([], [], color=WINDOW_COLOUR, linewidth=4, label="window"),
        Line2D([], [], marker="s", markersize=7, color="black", linestyle="none", label="column (wire)"),
    ]


def draw_plans(view: PlanView, graph: SpatialGraph, route: list[int], title: str, output: Path) -> None:
    """One plan per storey side by side, the graph over them, saved as a PNG."""
    figure, axes = plt.subplots(1, len(view.titles), figsize=(6.5 * len(view.titles), 6.2))
    for storey, ax in enumerate(axes):
        draw_storey(ax, view, storey)
    draw_graph(list(axes), view, graph, route)
    handles = legend(any(through_opening(e) for e in graph.edges))
    figure.legend(handles=handles, loc="lower center", ncol=len(handles), fontsize=9, frameon=False)
    figure.suptitle(title, fontsize=12)
    figure.tight_layout(rect=(0, 0.05, 1, 0.95))
    output.parent.mkdir(parents=True, exist_ok=True)
    figure.savefig(output, dpi=110)
    plt.close(figure)


def main(output: Path) -> None:
    house = build_house()
    graph = SpatialRegistry(house.meshes, house.columns, house.apertures).build_spatial_graph(0.01)
    names = [room.name for room in house.rooms]
    route = graph.find_shortest_path(names.index("hall"), names.index("bedroom"))
    draw_plans(
        house_view(house),
        graph,
        route,
        "Dual graph of the house: walls (solid), slabs (dashed), route from the hall to the bedroom (orange)",
        output,
    )
    print(
        f"wrote {output}: {len(graph.nodes)} rooms, {len(graph.edges)} edges, "
        f"route {' -> '.join(names[i] for i in route)}"
    )


if __name__ == "__main__":
    main(Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "docs" / "house.png")
