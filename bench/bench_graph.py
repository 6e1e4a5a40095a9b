"""The spatial graph, in two parts.

Routing: find_shortest_path between opposite corners of a generated building
of 100,000 rooms (tests/support/building.py; the graph is the build's own, about 459,000
edges), against networkx, scipy and igraph on the same graph with the same
weights (centroid distances). What each figure includes:
- velmarin: the whole call: reading the graph's node and edge objects,
  building the adjacency, the search and the result list;
- scipy: csgraph.dijkstra from the start node (``indices``, ``min_only``;
  no ``limit``, which would need the answer beforehand) on a CSR matrix
  holding both directions of every edge (faster for it than
  ``directed=False`` on one), plus walking the predecessors back to the
  path; making the matrix from the graph's coordinates and ends as NumPy
  arrays is timed apart;
- igraph: Graph.get_shortest_paths with the weights, on a Graph made
  beforehand;
- networkx: dijkstra_path on a Graph made beforehand.
Each library's path is checked against velmarin's (equal cost, and whether
it is the same path).

Cypher: to_cypher_queries on a synthetic graph of 100,000 rooms and 300,000
contacts, in statements per second, against plain Python string formatting
of the same statements.

Routing times are CPU seconds of the calling thread (every side runs on one
thread, and the machine may be busy with other work), the best of several
runs taken in turns; ratios are against velmarin's time in the same run. The Cypher times
are wall-clock seconds.

    python bench/bench_graph.py [--quick]
"""

import math
import os
import random
import statistics
import sys
import time
from pathlib import Path

os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")  # idle BLAS threads would spin on the baselines' clocks

import igraph  # noqa: E402
import networkx as nx  # noqa: E402
import numpy as np  # noqa: E402
from scipy.sparse import csr_matrix  # noqa: E402
from scipy.sparse.csgraph import dijkstra  # noqa: E402

from velmarin import GraphEdge, GraphNode, SpatialGraph, Vector3D  # noqa: E402

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
from support.building import generate_building  # noqa: E402

ROOMS = 100_000
SEED = 7
BUILDING_OPTIONS = dict(door_ratio=1.0, window_ratio=0.5, column_ratio=0.25)

# The Cypher graph: 50 x 50 rooms on 40 storeys; the axis contacts are
# 293,500, and diagonal openings inside the storeys bring the edges to 300,000.
NX, NY, NZ = 50, 50, 40
EDGES = 300_000


def position(x, y, z):
    return (z * NY + y) * NX + x


def generate(rng):
    centroids = [
        (x * 4.0 + rng.uniform(-0.4, 0.4), y * 4.0 + rng.uniform(-0.4, 0.4), z * 3.0 + 1.5)
        for z in range(NZ)
        for y in range(NY)
        for x in range(NX)
    ]
    pairs = []
    for z in range(NZ):
        for y in range(NY):
            for x in range(NX):
                here = position(x, y, z)
                if x + 1 < NX:
                    pairs.append((here, position(x + 1, y, z), "VerticalWallContact"))
                if y + 1 < NY:
                    pairs.append((here, position(x, y + 1, z), "VerticalWallContact"))
                if z + 1 < NZ:
                    pairs.append((here, position(x, y, z + 1), "HorizontalSlabContact"))
    diagonals = set()
    while len(pairs) + len(diagonals) < EDGES:
        x, y, z = rng.randrange(NX - 1), rng.randrange(NY - 1), rng.randrange(NZ)
        diagonals.add((position(x, y, z), position(x + 1, y + 1, z), "VerticalWallContact"))
    pairs += sorted(diagonals)
    return centroids, pairs


def weight(p, q):
    dx, dy, dz = p[0] - q[0], p[1] - q[1], p[2] - q[2]
    return math.sqrt(dx * dx + dy * dy + dz * dz)


def best_of(runs, calls, clock=time.perf_counter):
    """(best time, median time, last result) of each call. The calls take
    turns, so that a busy spell on the machine falls on all of them alike."""
    times = [[] for _ in calls]
    results = [None] * len(calls)
    for _ in range(runs):
        for k, call in enumerate(calls):
            results[k] = None  # the previous result is released before the clock starts
            began = clock()
            results[k] = call()
            times[k].append(clock() - began)
    return [(min(t), statistics.median(t), r) for t, r in zip(times, results)]


def load():
    return " ".join(f"{x:.1f}" for x in os.getloadavg())


def path_cost(centroids, path):
    return sum(weight(centroids[a], centroids[b]) for a, b in zip(path, path[1:]))


def scipy_matrix(centroids, ends):
    """Both directions of every edge, so that the search need not mirror them."""
    points = np.asarray(centroids)
    a, b = np.asarray(ends).T
    d = points[a] - points[b]
    weights = np.sqrt(d[:, 0] * d[:, 0] + d[:, 1] * d[:, 1] + d[:, 2] * d[:, 2])
    n = len(points)
    return csr_matrix(
        (np.concatenate([weights, weights]), (np.concatenate([a, b]), np.concatenate([b, a]))), shape=(n, n)
    )


def scipy_path(matrix, start, end):
    _, predecessors, _ = dijkstra(matrix, directed=True, indices=start, return_predecessors=True, min_only=True)
    if predecessors[end] < 0 and start != end:
        return []
    path = [end]
    while path[-1] != start:
        path.append(int(predecessors[path[-1]]))
    path.reverse()
    return path


def routing(runs):
    building = generate_building(ROOMS, SEED, **BUILDING_OPTIONS)
    graph = building.registry().build_spatial_graph(0.01)
    centroids = [(c.x, c.y, c.z) for c in (node.centroid for node in graph.nodes)]
    ends = [(e.node_a, e.node_b) for e in graph.edges]
    del building
    start, end = 0, len(centroids) - 1
    print(f"routing: {len(centroids):,} rooms, {len(ends):,} edges, from room {start} to room {end} (opposite corners)")

    clock = time.thread_time
    [(matrix_time, _, matrix)] = best_of(max(2, runs // 2), [lambda: scipy_matrix(centroids, ends)], clock)
    edge_weights = [weight(centroids[a], centroids[b]) for a, b in ends]
    other = igraph.Graph(n=len(centroids), edges=ends)
    other.es["weight"] = edge_weights
    reference = nx.Graph()
    reference.add_nodes_from(range(len(centroids)))
    reference.add_weighted_edges_from((a, b, w) for (a, b), w in zip(ends, edge_weights))

    (ours, ours_median, path), scipy_row, igraph_row = best_of(
        runs * 2,
        [
            lambda: graph.find_shortest_path(start, end),
            lambda: scipy_path(matrix, start, end),
            lambda: other.get_shortest_paths(start, to=end, weights="weight", output="vpath")[0],
        ],
        clock,
    )
    [networkx_row] = best_of(max(2, runs // 2), [lambda: nx.dijkstra_path(reference, start, end)], clock)
    rows = [
        ("scipy csgraph.dijkstra", scipy_row),
        ("igraph get_shortest_paths", igraph_row),
        ("networkx dijkstra_path", networkx_row),
    ]
    cost = path_cost(centroids, path)
    print(
        f"  {'velmarin find_shortest_path':28} {ours * 1e3:8.2f} ms (median {ours_median * 1e3:.2f} ms), "
        f"{len(path)} rooms"
    )
    for name, (theirs, median, their_path) in rows:
        assert math.isclose(path_cost(centroids, their_path), cost, rel_tol=1e-12), name
        print(
            f"  {name:28} {theirs * 1e3:8.2f} ms (median {median * 1e3:.2f} ms), {theirs / ours:5.1f} x velmarin's "
            f"time, same path: {their_path == path}"
        )
    print(f"  (scipy's matrix, made beforehand from NumPy arrays: {matrix_time * 1e3:.1f} ms)")


def python_cypher(centroids, pairs, names):
    """The same statements by Python string formatting (floats by repr, no escaping): the baseline."""
    out = []
    for i, (x, y, z) in enumerate(centroids):
        out.append(
            f"CREATE (r{i}:Room {{index: {i}, centroid_x: {x!r}, centroid_y: {y!r}, centroid_z: {z!r}, "
            f"name: {names[i]!r}, storey: {i // (NX * NY)!r}}})"
        )
    for a, b, kind in pairs:
        out.append(
            f"MATCH (a:Room {{index: {a}}}), (b:Room {{index: {b}}}) CREATE (a)-[:SHARES_WALL "
            f"{{area: {12.0!r}, centroid_x: {0.5!r}, centroid_y: {0.5!r}, centroid_z: {1.5!r}, "
            f"contact_type: '{kind}'}}]->(b)"
        )
    return out


def main():
    runs = 3 if "--quick" in sys.argv else 7
    print(f"load average at start {load()}")
    routing(runs)

    rng = random.Random(42)
    centroids, pairs = generate(rng)
    nodes = [GraphNode(i, Vector3D(*c)) for i, c in enumerate(centroids)]
    names = [f"Room {i}" for i in range(len(nodes))]
    for i, node in enumerate(nodes):
        node.set_attribute("name", names[i])
        node.set_attribute("storey", i // (NX * NY))
    edges = [GraphEdge(a, b, 12.0, Vector3D(0.5, 0.5, 1.5), kind) for a, b, kind in pairs]
    graph = SpatialGraph(nodes, edges, [])

    count = len(nodes) + len(edges)
    [(ours_min, ours_median, statements)] = best_of(runs, [graph.to_cypher_queries])
    assert len(statements) == count
    [(base_min, base_median, _)] = best_of(max(2, runs // 2), [lambda: python_cypher(centroids, pairs, names)])
    print(f"to_cypher_queries ({count} statements, two attributes per node; wall-clock times)")
    print(
        f"  velmarin           {count / ours_min / 1e6:9.2f} M statements/s ({ours_min * 1e3:.1f} ms, "
        f"median {ours_median * 1e3:.1f} ms)"
    )
    print(f"  Python f-strings   {count / base_min / 1e6:9.2f} M statements/s ({base_min * 1e3:.1f} ms)")
    print(f"  speed-up           {base_min / ours_min:9.1f} x")
    print(f"load average at the end {load()}")


if __name__ == "__main__":
    main()
