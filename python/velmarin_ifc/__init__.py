"""Building models in IFC read into velmarin: rooms, doors, windows and columns.

`read_building(path)` reads an IFC2X3 or IFC4 model (by itself, from the
model's text, where its records tell everything; through ifcopenshell and
its geometry engine otherwise) and returns a `Building`: a `SpatialRegistry` of every IfcSpace
as a room, every door, window, opening, stair and ramp as an aperture and
every column as a wire, with a record of each; the graph of rooms across
walls and slabs, with how to pass each contact; the exits, routes, and the
distance walked from each room to the way out. `draw_plans` draws a plan of
each storey with the graph over it. What it leaves out, and why,
`Building.left_out` says; elements that would crash or stall the engine are
left out before it runs, and `read_building(path, timeout=...)` reads in a
child process that is ended when the time is up. `read_portfolio` reads
many models at once on a Dask cluster, a summary of plain data for each;
``velmarin-ifc`` (``python -m velmarin_ifc``) is the command line.

Needs ifcopenshell: ``pip install 'velmarin[ifc]'``; the plans need
matplotlib: ``pip install 'velmarin[plot]'``.
"""

import importlib.util

# ifcopenshell is imported when a model needs it; that it is there is known now.
if importlib.util.find_spec("ifcopenshell") is None:
    raise ImportError(
        "velmarin_ifc reads IFC models with ifcopenshell, which is not installed; "
        "install it with: pip install 'velmarin[ifc]'"
    )

from velmarin_ifc._building import Building, Element, LeftOut, Space
from velmarin_ifc._passages import Exit
from velmarin_ifc._plans import draw_plans
from velmarin_ifc._portfolio import read_portfolio
from velmarin_ifc._reading import read_building

__all__ = ["Building", "Element", "Exit", "LeftOut", "Space", "draw_plans", "read_building", "read_portfolio"]
