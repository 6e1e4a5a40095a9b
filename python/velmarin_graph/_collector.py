"""Making many Python objects at once without the cyclic collector."""

from __future__ import annotations

import gc
from collections.abc import Iterator
from contextlib import contextmanager


@contextmanager
def collector_paused() -> Iterator[None]:
    """Pauses the cyclic garbage collector (if it runs) for the block.

    A graph's arrays (whose attribute columns hold the lists a build makes
    when first read), its networkx graph and a graph read back from Parquet
    are up to millions of new dicts and lists, none of them in a cycle; the
    collector would walk them over and over as they are made (a third of
    ``to_networkx``'s time, half of ``read_parquet``'s on a 100,000-room
    graph).
    """
    running = gc.isenabled()
    gc.disable()
    try:
        yield
    finally:
        if running:
            gc.enable()
