import math
import random
import sys

import pytest

from graph_support import make_graph, needs_probe, probe, random_case, run_while_written
from helpers import assert_noted
from velmarin import GraphEdge, GraphNode, SpatialGraph, Vector3D

LARGEST = sys.float_info.max


def scan_shortest_path(centroids, ends, start, end):
    """The search exactly as first described: a linear scan for the least
    unsettled distance at every step. Edges naming a node beyond the list
    are left out, as the module does."""
    n = len(centroids)
    adjacency = [[] for _ in range(n)]
    for a, b in ends:
        if a >= n or b >= n:
            continue
        (ax, ay, az), (bx, by, bz) = centroids[a], centroids[b]
        dx, dy, dz = ax - bx, ay - by, az - bz
        weight = math.sqrt(dx * dx + dy * dy + dz * dz)
        adjacency[a].append((b, weight))
        adjacency[b].append((a, weight))
    distance = [LARGEST] * n
    predecessor = [None] * n
    settled = [False] * n
    distance[start] = 0.0
    for _ in range(n):
        u, bound = None, LARGEST
        for i in range(n):
            if not settled[i] and distance[i] < bound:
                u, bound = i, distance[i]
        if u is None or u == end:
            break
        settled[u] = True
        for v, weight in adjacency[u]:
            if not settled[v]:
                candidate = weight + distance[u]
                if candidate < distance[v]:
                    distance[v] = candidate
                    predecessor[v] = u
    if distance[end] == LARGEST:
        return []
    path = [end]
    while predecessor[path[-1]] is not None:
        path.append(predecessor[path[-1]])
    path.reverse()
    return path


def test_agrees_with_the_scan_on_random_graphs():
    """Graphs of every size one after another, so that each search also
    meets the memory a larger one left behind. Where the test-support module
    is built, the search with 64-bit positions (taken by graphs too large for
    32-bit ones) must agree too."""
    rng = random.Random(20261207)
    for _ in range(3000):
        centroids, ends = random_case(rng)
        graph = make_graph(centroids, ends)
        n = len(centroids)
        for _ in range(4):
            start, end = rng.randrange(n), rng.randrange(n)
            expected = scan_shortest_path(centroids, ends, start, end)
            assert graph.find_shortest_path(start, end) == expected, (centroids, ends, start, end)
            if probe is not None:
                assert probe.wide_path(centroids, ends, start, end) == expected, (centroids, ends, start, end)


@needs_probe
def test_graphs_beyond_32_bit_positions_take_the_wide_search():
    largest = 2**32 - 1  # kept free as the "no predecessor" marker
    assert probe.narrow_path_fits(largest - 1, largest // 2)
    assert not probe.narrow_path_fits(largest, 0)
    assert not probe.narrow_path_fits(1, largest // 2 + 1)  # two list entries per edge
    assert probe.narrow_path_fits(1, 0) and probe.narrow_path_fits(0, 0)


def test_agrees_with_the_scan_on_larger_grids():
    rng = random.Random(7)
    for size in (8, 15):
        centroids = [(float(x), float(y), float(rng.randrange(2))) for y in range(size) for x in range(size)]
        ends = [(i, i + 1) for i in range(len(centroids) - 1) if (i + 1) % size]
        ends += [(i, i + size) for i in range(len(centroids) - size)]
        rng.shuffle(ends)
        graph = make_graph(centroids, ends)
        for _ in range(20):
            start, end = rng.randrange(len(centroids)), rng.randrange(len(centroids))
            assert graph.find_shortest_path(start, end) == scan_shortest_path(centroids, ends, start, end)


def test_simple_routes():
    line = make_graph([(0, 0, 0), (1, 0, 0), (2, 0, 0)], [(0, 1), (1, 2)])
    assert line.find_shortest_path(0, 2) == [0, 1, 2]
    assert line.find_shortest_path(end=0, start=2) == [2, 1, 0]
    lonely = make_graph([(0, 0, 0), (5, 5, 5)], [])
    assert lonely.find_shortest_path(1, 1) == [1]
    assert lonely.find_shortest_path(0, 1) == []


def test_equal_costs_keep_the_route_found_first():
    square = make_graph([(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0)], [(0, 1), (0, 2), (1, 3), (2, 3)])
    assert square.find_shortest_path(0, 3) == [0, 1, 3]
    swapped = make_graph([(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0)], [(0, 2), (0, 1), (2, 3), (1, 3)])
    assert swapped.find_shortest_path(0, 3) == [0, 1, 3]  # node 1 still settles before node 2


def test_non_finite_centroids_carry_no_path():
    nan = math.nan
    graph = make_graph([(0, 0, 0), (nan, 0, 0), (0, 0, 0), (math.inf, 0, 0)], [(0, 1), (1, 2), (0, 2), (2, 3)])
    assert graph.find_shortest_path(0, 1) == []
    assert graph.find_shortest_path(1, 1) == [1]
    assert graph.find_shortest_path(0, 2) == [0, 2]  # coincident: cost 0
    assert graph.find_shortest_path(0, 3) == []
    assert graph.find_shortest_path(1, 0) == []


def test_overflowing_costs_do_not_reach():
    graph = make_graph([(-1e308, 0, 0), (1e308, 0, 0)], [(0, 1)])
    assert graph.find_shortest_path(0, 1) == []  # the distance overflows to infinity


def test_only_positions_matter():
    nodes = [GraphNode(99, Vector3D(0, 0, 0)), GraphNode(7, Vector3D(3, 0, 0))]
    edge = GraphEdge(0, 1, -5.0, Vector3D(0, 0, 0), "HorizontalSlabContact")
    edge.set_attribute("cost", 1000)
    assert SpatialGraph(nodes, [edge], []).find_shortest_path(0, 1) == [0, 1]


def test_edges_beyond_the_node_list_are_ignored():
    graph = make_graph([(0, 0, 0), (1, 0, 0)], [(0, 5), (2**64 - 1, 1), (0, 1)])
    assert graph.find_shortest_path(1, 0) == [1, 0]


def test_out_of_bounds_ends():
    graph = make_graph([(0, 0, 0), (1, 0, 0)], [(0, 1)])
    for start, end in [(2, 0), (0, 2), (2**64 - 1, 0)]:
        with pytest.raises(ValueError, match=r"^Start or End node index out of bounds\.$"):
            graph.find_shortest_path(start, end)
    with pytest.raises(ValueError, match=r"^Start or End node index out of bounds\.$"):
        SpatialGraph([], [], []).find_shortest_path(0, 0)
    with pytest.raises(OverflowError) as info:
        graph.find_shortest_path(-1, 0)
    assert_noted(info.value, "start")
    with pytest.raises(TypeError) as info:
        graph.find_shortest_path(0, 1.0)
    assert_noted(info.value, "end")


def test_the_graph_is_read_anew_at_every_call():
    a, b = GraphNode(0, Vector3D(0, 0, 0)), GraphNode(1, Vector3D(1, 0, 0))
    graph = SpatialGraph([a, b, a], [GraphEdge(2, 1, 0.0, Vector3D(0, 0, 0), "")], [])
    assert graph.find_shortest_path(0, 1) == []
    assert graph.find_shortest_path(2, 1) == [2, 1]  # the same object at two positions


def test_a_node_written_during_the_search_is_an_internal_fault(capfd):
    busy = GraphNode(0, Vector3D(0, 0, 0))
    edge = GraphEdge(0, 1, 0.0, Vector3D(0, 0, 0), "")
    graph = SpatialGraph([busy, GraphNode(1, Vector3D(1, 0, 0))], [edge], [])
    for written in (busy, edge):
        reported = run_while_written(written, lambda: graph.find_shortest_path(0, 1))
        assert [type(r.exc_value).__name__ for r in reported] == ["PanicException"]
    capfd.readouterr()
    # A node that no edge within the list touches is never read, so its
    # borrow is no conflict.
    untouched = GraphNode(2, Vector3D(0, 0, 0))
    beyond = GraphEdge(1, 2, 0.0, Vector3D(0, 0, 0), "")
    other = SpatialGraph([GraphNode(0, Vector3D(0, 0, 0)), untouched], [beyond], [])
    results = []
    assert run_while_written(untouched, lambda: results.append(other.find_shortest_path(0, 0))) == []
    assert results == [[0]]


def test_documentation():
    assert SpatialGraph.find_shortest_path.__text_signature__ == "($self, start, end)"
    assert SpatialGraph.find_shortest_path.__doc__ == (
        "Blazing-fast Dijkstra's shortest path solver executing natively on the compiled topological graph."
    )
