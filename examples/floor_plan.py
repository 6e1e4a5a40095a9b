"""The floor plan of each storey with the building's dual graph drawn over it.

Rooms are the shaded cells, doors the gaps in the walls, windows the blue
strokes, columns the black squares. Each room is a node at its centroid;
shared walls are solid edges, drawn through the middle of the contact, and
shared slabs dashed edges between the two plans. The route from the hall to
the bedroom is highlighted. Writes a PNG (default: docs/house.png).
"""
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.axes import Axes  # noqa: E402
from matplotlib.lines import Line2D  # noqa: E402
from matplotlib.patches import ConnectionPatch, Rectangle  # noqa: E402

from house import House, build_house  # noqa: E402

from velmarin import SpatialGraph, SpatialRegistry  # noqa: E402

ROUTE_COLOUR = "#e8590c"
WALL_COLOUR = "#343a40"
SLAB_COLOUR = "#868e96"
STOREY_NAMES = ["Ground floor", "Upper floor"]


def draw_storey(ax: Axes, house: House, storey: int) -> None:
    for room in house.rooms:
        if room.storey != storey:
            continue
        ax.add_patch(Rectangle((room.x0, room.y0), room.x1 - room.x0, room.y1 - room.y0,
                               facecolor="#f1f3f5", edgecolor="#495057", linewidth=2.5, zorder=1))
        ax.text((room.x0 + room.x1) / 2, room.y1 - 0.35, room.name, ha="center", va="top",
                fontsize=9, color="#495057", zorder=5)
    for opening in house.openings:
        if opening.storey != storey:
            continue
        (ax_, ay), (bx, by) = opening.start, opening.end
        if opening.kind == "door":
            ax.plot([ax_, bx], [ay, by], color="#f1f3f5", linewidth=4, solid_capstyle="butt", zorder=2)
        else:
            ax.plot([ax_, bx], [ay, by], color="#1c7ed6", linewidth=4, solid_capstyle="butt", zorder=2)
    for column in house.columns:
        if int(column.start.z // 3.0) == storey:
            ax.add_patch(Rectangle((column.start.x - 0.12, column.start.y - 0.12), 0.24, 0.24,
                                   color="black", zorder=3))
    ax.set_title(STOREY_NAMES[storey], fontsize=12)
    ax.set_xlim(-0.6, 9.6)
    ax.set_ylim(-0.6, 8.6)
    ax.set_aspect("equal")
    ax.axis("off")


def draw_graph(axes: list[Axes], house: House, graph: SpatialGraph, route: list[int]) -> None:
    storey_of = [room.storey for room in house.rooms]
    centre = [(n.centroid.x, n.centroid.y) for n in graph.nodes]
    on_route = {frozenset(pair) for pair in zip(route, route[1:])}
    drawn_slabs: set[frozenset[int]] = set()
    for edge in graph.edges:
        a, b = edge.node_a, edge.node_b
        highlighted = frozenset((a, b)) in on_route
        if edge.contact_type == "VerticalWallContact":
            c = edge.contact_centroid
            xs, ys = [centre[a][0], c.x, centre[b][0]], [centre[a][1], c.y, centre[b][1]]
            axes[storey_of[a]].plot(xs, ys, color=ROUTE_COLOUR if highlighted else WALL_COLOUR,
                                    linewidth=3.5 if highlighted else 1.4, zorder=6)
            axes[storey_of[a]].plot([c.x], [c.y], marker="o", markersize=3, color=WALL_COLOUR, zorder=7)
        elif frozenset((a, b)) not in drawn_slabs:  # one dashed link per pair of rooms
            drawn_slabs.add(frozenset((a, b)))
            lower, upper = sorted((a, b), key=lambda i: storey_of[i])
            # Arcs bow away from the plans' middle, so they stay clear of the rooms they pass.
            bow = 0.25 if centre[lower][1] < 4.0 else -0.25
            link = ConnectionPatch(xyA=centre[lower], coordsA=axes[storey_of[lower]].transData,
                                   xyB=centre[upper], coordsB=axes[storey_of[upper]].transData,
                                   connectionstyle=f"arc3,rad={bow}",
                                   color=ROUTE_COLOUR if highlighted else SLAB_COLOUR,
                                   linestyle="-" if highlighted else (0, (4, 3)),
                                   linewidth=2.5 if highlighted else 0.8, alpha=0.9, zorder=4)
            axes[0].figure.add_artist(link)
    for i, (x, y) in enumerate(centre):
        colour = ROUTE_COLOUR if i in route else "#1971c2"
        axes[storey_of[i]].plot([x], [y], marker="o", markersize=11, color=colour,
                                markeredgecolor="white", markeredgewidth=1.5, zorder=8)
        axes[storey_of[i]].text(x, y, str(i), ha="center", va="center", fontsize=7,
                                color="white", fontweight="bold", zorder=9)


def main(output: Path) -> None:
    house = build_house()
    graph = SpatialRegistry(house.meshes, house.columns, house.apertures).build_spatial_graph(0.01)
    names = [room.name for room in house.rooms]
    route = graph.find_shortest_path(names.index("hall"), names.index("bedroom"))

    figure, axes = plt.subplots(1, 2, figsize=(13, 6.2))
    for storey, ax in enumerate(axes):
        draw_storey(ax, house, storey)
    draw_graph(list(axes), house, graph, route)
    legend = [
        Line2D([], [], marker="o", markersize=9, color="#1971c2", linestyle="none", label="room (node)"),
        Line2D([], [], color=WALL_COLOUR, linewidth=1.4, marker="o", markersize=3, label="shared wall (edge, through its contact centroid)"),
        Line2D([], [], color=SLAB_COLOUR, linewidth=0.8, linestyle=(0, (4, 3)), label="shared slab (edge)"),
        Line2D([], [], color=ROUTE_COLOUR, linewidth=3, label="shortest route"),
        Line2D([], [], color="#1c7ed6", linewidth=4, label="window"),
        Line2D([], [], marker="s", markersize=7, color="black", linestyle="none", label="column (wire)"),
    ]
    figure.legend(handles=legend, loc="lower center", ncol=6, fontsize=9, frameon=False)
    figure.suptitle("Dual graph of the house: walls (solid), slabs (dashed), "
                    "route from the hall to the bedroom (orange)", fontsize=12)
    figure.tight_layout(rect=(0, 0.05, 1, 0.95))
    output.parent.mkdir(parents=True, exist_ok=True)
    figure.savefig(output, dpi=110)
    print(f"wrote {output}: {len(graph.nodes)} rooms, {len(graph.edges)} edges, "
          f"route {' -> '.join(names[i] for i in route)}")


if __name__ == "__main__":
    main(Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "docs" / "house.png")
