"""Building models in IFC read into velmarin: rooms, doors, windows and columns.

`read_building(path)` runs ifcopenshell's geometry engine over an IFC2X3 or
IFC4 model and returns a `Building`: a `SpatialRegistry` of every IfcSpace
as a room, every door, window and opening as an aperture and every column as
a wire, with a record of each, the graph of rooms across walls and slabs,
and routes through doors. What it leaves out, and why, `Building.left_out`
says; elements that would crash or stall the engine are left out before it
runs, and `read_building(path, timeout=...)` reads in a child process.

Needs ifcopenshell: ``pip install 'velmarin[ifc]'``.
"""
try:
    import ifcopenshell  # noqa: F401
except ImportError as missing:
    raise ImportError(
        "velmarin_ifc reads IFC models with ifcopenshell, which is not installed; "
        "install it with: pip install 'velmarin[ifc]'"
    ) from missing

from velmarin_ifc._building import Building, Element, LeftOut, Space
from velmarin_ifc._reading import read_building

__all__ = ["Building", "Element", "LeftOut", "Space", "read_building"]
