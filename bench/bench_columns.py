"""The graph of a 100,000-room building in columns, in the graph libraries
and in Parquet, each against doing the same in Python in the same run.

The graph is the build across walls of a generated building (tests/support/building.py,
0.2 m walls, doors, windows and columns): every edge carries the build's
attributes, and every node gets a name and a storey, as velmarin_ifc's
Building.graph() gives them.

    to_arrays()           against the same arrays made by walking the node and
                          edge objects (their properties and get_all_attributes)
    from_arrays(arrays)   against making the same GraphNode and GraphEdge objects
                          from the arrays and setting their attributes one by one
                          (the wire contacts, which Python cannot make, are
                          taken from the graph)
    to_networkx(graph)    against add_nodes_from and add_edges_from fed by walking
                          the objects, with the same data ("length" by math.dist),
                          with the cyclic collector running and paused (as
                          velmarin_graph pauses it)
    to_rustworkx(graph)   against the same for a rustworkx PyGraph, the collector
                          running and paused
    write_parquet, then   against the graph saved and loaded through networkx
    read_parquet          (to_networkx included): GraphML (list attributes written
                          as their text), and JSON (node_link_data)

Each result is checked against its baseline's. Times are wall-clock seconds
(pyarrow reads and writes with a pool of threads), the best of several runs
taken in turns; the round trips through networkx run once.

    python bench/bench_columns.py [--quick] [--rooms N]
"""

import json
import math
import os
import shutil
import sys
import tempfile
from pathlib import Path

import networkx as nx
import numpy as np
import rustworkx as rx

from velmarin import GraphEdge, GraphNode, SpatialGraph, Vector3D
from velmarin_graph import read_parquet, to_networkx, to_rustworkx, write_parquet

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
from bench_graph import best_of, load  # noqa: E402
from support.building import collector_paused, generate_building  # noqa: E402

ROOMS = 100_000
SEED = 7
STOREY_HEIGHT = 3.0


def building_graph(rooms):
    graph = generate_building(rooms, SEED, wall_thickness=0.2).registry().build_spatial_graph_with_walls(0.01, 0.25)
    for i, node in enumerate(graph.nodes):
        node.set_attribute("name", f"Room {i}")
        node.set_attribute("storey", int(node.centroid.z // STOREY_HEIGHT))
    return graph


# --- the baselines ----------------------------------------------------------------------


def attribute_columns(items):
    maps = [item.get_all_attributes() for item in items]
    keys = sorted(set().union(*maps))
    return {key: np.fromiter((m.get(key) for m in maps), dtype=object, count=len(maps)) for key in keys}


def walked_arrays(graph):
    """to_arrays() by walking the objects."""
    nodes, edges = graph.nodes, graph.edges
    centroids = [node.centroid for node in nodes]
    contacts = [edge.contact_centroid for edge in edges]
    return {
        "nodes": {
            "index": np.array([node.index for node in nodes], dtype=np.int64),
            "centroid": np.array([(c.x, c.y, c.z) for c in centroids]).reshape(-1, 3),
            "attributes": attribute_columns(nodes),
        },
        "edges": {
            "node_a": np.array([e.node_a for e in edges], dtype=np.int64),
            "node_b": np.array([e.node_b for e in edges], dtype=np.int64),
            "shared_area": np.array([e.shared_area for e in edges]),
            "contact_centroid": np.array([(c.x, c.y, c.z) for c in contacts]).reshape(-1, 3),
            "contact_type": np.fromiter((e.contact_type for e in edges), dtype=object, count=len(edges)),
            "attributes": attribute_columns(edges),
        },
        "wire_contacts": np.array([(w.wire_index, w.mesh_index) for w in graph.wire_contacts], dtype=np.int64).reshape(
            -1, 2
        ),
    }


def set_attributes(items, columns):
    for key, values in columns.items():
        for item, value in zip(items, values.tolist()):
            if value is not None:
                item.set_attribute(key, value)


def graph_by_hand(arrays, wire_contacts):
    """from_arrays(arrays) by making the objects one by one."""
    nodes, edges = arrays["nodes"], arrays["edges"]
    node_objects = [
        GraphNode(i, Vector3D(x, y, z)) for i, (x, y, z) in zip(nodes["index"].tolist(), nodes["centroid"].tolist())
    ]
    set_attributes(node_objects, nodes["attributes"])
    edge_objects = [
        GraphEdge(a, b, area, Vector3D(x, y, z), kind)
        for a, b, area, (x, y, z), kind in zip(
            edges["node_a"].tolist(),
            edges["node_b"].tolist(),
            edges["shared_area"].tolist(),
            edges["contact_centroid"].tolist(),
            edges["contact_type"].tolist(),
        )
    ]
    set_attributes(edge_objects, edges["attributes"])
    return SpatialGraph(node_objects, edge_objects, wire_contacts)


def walked_items(graph):
    """(node data, edge rows) for a graph library, walking the objects."""
    points = [(c.x, c.y, c.z) for c in (node.centroid for node in graph.nodes)]
    nodes = [
        {"index": node.index, "centroid_x": x, "centroid_y": y, "centroid_z": z, **node.get_all_attributes()}
        for node, (x, y, z) in zip(graph.nodes, points)
    ]
    edges = []
    for k, edge in enumerate(graph.edges):
        a, b, c = edge.node_a, edge.node_b, edge.contact_centroid
        edges.append(
            (
                a,
                b,
                k,
                {
                    "area": edge.shared_area,
                    "centroid_x": c.x,
                    "centroid_y": c.y,
                    "centroid_z": c.z,
                    "contact_type": edge.contact_type,
                    "length": math.dist(points[a], points[b]),
                    **edge.get_all_attributes(),
                },
            )
        )
    return nodes, edges


def networkx_by_hand(graph):
    nodes, edges = walked_items(graph)
    multigraph = nx.MultiGraph()
    multigraph.add_nodes_from(enumerate(nodes))
    multigraph.add_edges_from(edges)
    return multigraph


def rustworkx_by_hand(graph):
    nodes, edges = walked_items(graph)
    pygraph = rx.PyGraph(multigraph=True)
    pygraph.add_nodes_from(nodes)
    pygraph.add_edges_from([(a, b, data) for a, b, _, data in edges])
    return pygraph


def paused_collector(make, graph):
    """make(graph) with the cyclic collector paused, as velmarin_graph makes its graphs."""
    with collector_paused():
        return make(graph)


def graphml_round_trip(graph, folder):
    multigraph = to_networkx(graph)
    for _, _, data in multigraph.edges(data=True):
        for key, value in data.items():
            if isinstance(value, list):
                data[key] = json.dumps(value)
    nx.write_graphml(multigraph, folder / "graph.graphml")
    return nx.read_graphml(folder / "graph.graphml", node_type=int)


def json_round_trip(graph, folder):
    with open(folder / "graph.json", "w") as out:
        json.dump(nx.node_link_data(to_networkx(graph), edges="edges"), out)
    with open(folder / "graph.json") as source:
        return nx.node_link_graph(json.load(source), edges="edges")


# --- the runs ---------------------------------------------------------------------------


def same_arrays(ours, theirs):
    if isinstance(ours, dict):
        return ours.keys() == theirs.keys() and all(same_arrays(ours[k], theirs[k]) for k in ours)
    if ours.dtype == object:
        return ours.tolist() == theirs.tolist()
    return ours.dtype == theirs.dtype and ours.shape == theirs.shape and ours.tobytes() == theirs.tobytes()


def report(name, ours, theirs, baseline):
    print(f"  {name:30} {ours * 1e3:9.1f} ms   {baseline:44} {theirs * 1e3:9.1f} ms   {theirs / ours:6.1f} x")


def size(path):
    path = Path(path)
    return path.stat().st_size if path.is_file() else sum(p.stat().st_size for p in path.rglob("*"))


def against_by_hand(runs, name, convert, by_hand, graph, edges):
    """`convert` timed against the same graph built `by_hand`, with the cyclic
    collector running and paused; both give as many nodes and edges."""
    (ours, _, made), (theirs, _, reference), (paused, _, _) = best_of(
        runs, [lambda: convert(graph), lambda: by_hand(graph), lambda: paused_collector(by_hand, graph)]
    )
    assert len(made) == len(reference) and edges(made) == edges(reference)
    report(name, ours, theirs, "add_nodes_from, add_edges_from by walking")
    report(name, ours, paused, "the same, the cyclic collector paused")


def main():
    runs = 2 if "--quick" in sys.argv else 5
    rooms = int(sys.argv[sys.argv.index("--rooms") + 1]) if "--rooms" in sys.argv else ROOMS
    print(f"load average at start {load()}")
    graph = building_graph(rooms)
    print(
        f"{len(graph.nodes):,} rooms, {len(graph.edges):,} edges, {len(graph.wire_contacts):,} wire contacts; "
        f"best of {runs}, wall-clock"
    )

    (ours, _, arrays), (theirs, _, walked) = best_of(runs, [graph.to_arrays, lambda: walked_arrays(graph)])
    assert same_arrays(arrays, walked)
    report("to_arrays()", ours, theirs, "walking the objects")

    (ours, _, made), (theirs, _, by_hand) = best_of(
        runs, [lambda: SpatialGraph.from_arrays(arrays), lambda: graph_by_hand(arrays, graph.wire_contacts)]
    )
    assert same_arrays(made.to_arrays(), by_hand.to_arrays())
    report("SpatialGraph.from_arrays()", ours, theirs, "making the objects one by one")
    del made, by_hand

    against_by_hand(runs, "to_networkx()", to_networkx, networkx_by_hand, graph, lambda g: g.number_of_edges())
    against_by_hand(runs, "to_rustworkx()", to_rustworkx, rustworkx_by_hand, graph, lambda g: g.num_edges())

    folder = Path(tempfile.mkdtemp())
    try:
        [(write, _, _)] = best_of(runs, [lambda: write_parquet(graph, folder / "parquet")])
        [(read, _, again)] = best_of(runs, [lambda: read_parquet(folder / "parquet")])
        assert same_arrays(again.to_arrays(), arrays)
        del again
        [(graphml, _, _)] = best_of(1, [lambda: graphml_round_trip(graph, folder)])
        [(as_json, _, _)] = best_of(1, [lambda: json_round_trip(graph, folder)])
        print(
            f"  write_parquet() {write * 1e3:.1f} ms, read_parquet() {read * 1e3:.1f} ms "
            f"({size(folder / 'parquet') / 1e6:.1f} MB)"
        )
        report(
            "Parquet round trip",
            write + read,
            graphml,
            f"GraphML through networkx ({size(folder / 'graph.graphml') / 1e6:.0f} MB)",
        )
        report(
            "Parquet round trip",
            write + read,
            as_json,
            f"JSON through networkx ({size(folder / 'graph.json') / 1e6:.0f} MB)",
        )
    finally:
        shutil.rmtree(folder)
    print(f"load average at the end {load()}")


if __name__ == "__main__":
    os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")
    main()
