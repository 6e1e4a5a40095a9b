"""A velmarin graph in the Python graph and table libraries.

``to_networkx(graph)`` and ``to_rustworkx(graph)`` give the graph of rooms
as a networkx MultiGraph or a rustworkx PyGraph, with every room's centroid
and attributes on its node and every contact's area, centroid, type,
attributes and length (the distance that ``find_shortest_path`` weighs) on
its edge. ``write_parquet(graph, directory)`` writes the graph as three
Parquet tables, and ``read_parquet(directory)`` reads it back. All four read
the graph through ``SpatialGraph.to_arrays()``, in columns.

Each library is optional and imported on first use; a missing one raises
ImportError naming it: ``pip install 'velmarin[graph]'`` installs them all.

>>> from velmarin_graph import to_networkx, write_parquet, read_parquet
>>> G = to_networkx(graph)
>>> write_parquet(graph, "building")
>>> same = read_parquet("building")
"""

from velmarin_graph._libraries import to_networkx, to_rustworkx
from velmarin_graph._parquet import read_parquet, write_parquet

__all__ = ["read_parquet", "to_networkx", "to_rustworkx", "write_parquet"]
