"""The spatial graph on a generated building of 100,000 rooms and 300,000
contacts: find_shortest_path between opposite corners against networkx's
Dijkstra on the same graph, and to_cypher_queries in statements per second
against plain Python string formatting of the same statements.

    python bench/bench_graph.py [--quick]
"""
import math
import random
import statistics
import sys
import time

import networkx as nx

from velmarin import GraphEdge, GraphNode, SpatialGraph, Vector3D

# 50 x 50 rooms on 40 storeys; the axis contacts are 293,500, and diagonal
# openings inside the storeys bring the edges to 300,000.
NX, NY, NZ = 50, 50, 40
EDGES = 300_000


def position(x, y, z):
    return (z * NY + y) * NX + x


def generate(rng):
    centroids = [
        (x * 4.0 + rng.uniform(-0.4, 0.4), y * 4.0 + rng.uniform(-0.4, 0.4), z * 3.0 + 1.5)
        for z in range(NZ) for y in range(NY) for x in range(NX)
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


def best_of(runs, call):
    times = []
    result = None
    for _ in range(runs):
        began = time.perf_counter()
        result = call()
        times.append(time.perf_counter() - began)
    return min(times), statistics.median(times), result


def python_cypher(centroids, pairs, names):
    """The same statements by Python string formatting (floats by repr, no escaping): the baseline."""
    out = []
    for i, (x, y, z) in enumerate(centroids):
        out.append(f"CREATE (r{i}:Room {{index: {i}, centroid_x: {x!r}, centroid_y: {y!r}, centroid_z: {z!r}, "
                   f"name: {names[i]!r}, storey: {i // (NX * NY)!r}}})")
    for a, b, kind in pairs:
        out.append(f"MATCH (a:Room {{index: {a}}}), (b:Room {{index: {b}}}) CREATE (a)-[:SHARES_WALL "
                   f"{{area: {12.0!r}, centroid_x: {0.5!r}, centroid_y: {0.5!r}, centroid_z: {1.5!r}, "
                   f"contact_type: '{kind}'}}]->(b)")
    return out


def main():
    runs = 3 if "--quick" in sys.argv else 7
    rng = random.Random(42)
    centroids, pairs = generate(rng)
    print(f"graph: {len(centroids)} nodes, {len(pairs)} edges")

    nodes = [GraphNode(i, Vector3D(*c)) for i, c in enumerate(centroids)]
    names = [f"Room {i}" for i in range(len(nodes))]
    for i, node in enumerate(nodes):
        node.set_attribute("name", names[i])
        node.set_attribute("storey", i // (NX * NY))
    edges = [GraphEdge(a, b, 12.0, Vector3D(0.5, 0.5, 1.5), kind) for a, b, kind in pairs]
    graph = SpatialGraph(nodes, edges, [])

    reference = nx.Graph()
    reference.add_nodes_from(range(len(centroids)))
    reference.add_weighted_edges_from((a, b, weight(centroids[a], centroids[b])) for a, b, _ in pairs)

    start, end = position(0, 0, 0), position(NX - 1, NY - 1, NZ - 1)
    ours_min, ours_median, path = best_of(runs, lambda: graph.find_shortest_path(start, end))
    theirs_min, theirs_median, their_path = best_of(max(2, runs // 2),
                                                    lambda: nx.dijkstra_path(reference, start, end))
    cost = sum(weight(centroids[a], centroids[b]) for a, b in zip(path, path[1:]))
    their_cost = sum(weight(centroids[a], centroids[b]) for a, b in zip(their_path, their_path[1:]))
    assert math.isclose(cost, their_cost, rel_tol=1e-12), (cost, their_cost)
    print(f"find_shortest_path corner to corner ({len(path)} rooms, same path as networkx: {path == their_path})")
    print(f"  velmarin           {ours_min * 1e3:9.2f} ms (median {ours_median * 1e3:.2f} ms)")
    print(f"  networkx.dijkstra  {theirs_min * 1e3:9.2f} ms (median {theirs_median * 1e3:.2f} ms)")
    print(f"  speed-up           {theirs_min / ours_min:9.1f} x")

    count = len(nodes) + len(edges)
    ours_min, ours_median, statements = best_of(runs, graph.to_cypher_queries)
    assert len(statements) == count
    base_min, base_median, _ = best_of(max(2, runs // 2), lambda: python_cypher(centroids, pairs, names))
    print(f"to_cypher_queries ({count} statements, two attributes per node)")
    print(f"  velmarin           {count / ours_min / 1e6:9.2f} M statements/s ({ours_min * 1e3:.1f} ms, "
          f"median {ours_median * 1e3:.1f} ms)")
    print(f"  Python f-strings   {count / base_min / 1e6:9.2f} M statements/s ({base_min * 1e3:.1f} ms)")
    print(f"  speed-up           {base_min / ours_min:9.1f} x")


if __name__ == "__main__":
    main()
