"""The house's graph in columns, in networkx and in files, each read back.

The graph's arrays (SpatialGraph.to_arrays), a route that networkx finds by
the same lengths find_shortest_path weighs, the graph as Parquet tables
(velmarin_graph.write_parquet and read_parquet) and, through networkx, as
GraphML and JSON. Writes into the folder given (default: a new temporary one).
"""

import json
import sys
import tempfile
from pathlib import Path

import networkx as nx

from house import build_house
from velmarin import SpatialRegistry
from velmarin_graph import read_parquet, to_networkx, write_parquet

house = build_house()
graph = SpatialRegistry(house.meshes, house.columns, house.apertures).build_spatial_graph(0.01)
for node, room in zip(graph.nodes, house.rooms):
    node.set_attribute("name", room.name)
    node.set_attribute("storey", room.storey)

arrays = graph.to_arrays()
nodes, edges = arrays["nodes"], arrays["edges"]
print(
    f"arrays: {len(nodes['index'])} nodes with {', '.join(nodes['attributes'])}, "
    f"{len(edges['node_a'])} edges, {len(arrays['wire_contacts'])} wire contacts"
)

G = to_networkx(graph)
names = [room.name for room in house.rooms]
hall, bedroom = names.index("hall"), names.index("bedroom")
route = nx.shortest_path(G, hall, bedroom, weight="length")
print(
    "networkx: "
    + " -> ".join(G.nodes[i]["name"] for i in route)
    + f", as find_shortest_path: {route == graph.find_shortest_path(hall, bedroom)}"
)

folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(tempfile.mkdtemp())
write_parquet(graph, folder / "house")
again = read_parquet(folder / "house")
print(
    f"Parquet: {sorted(p.name for p in (folder / 'house').iterdir())}, read back "
    f"{len(again.nodes)} nodes and {len(again.edges)} edges, the hall named {again.nodes[hall].get_attribute('name')!r}"
)

nx.write_graphml(G, folder / "house.graphml")
graphml = nx.read_graphml(folder / "house.graphml", node_type=int)
(folder / "house.json").write_text(json.dumps(nx.node_link_data(G, edges="edges")))
linked = nx.node_link_graph(json.loads((folder / "house.json").read_text()), edges="edges")
print(
    f"GraphML and JSON: {graphml.number_of_edges()} and {linked.number_of_edges()} edges, "
    f"node {hall} named {graphml.nodes[hall]['name']!r} and {linked.nodes[hall]['name']!r}"
)
