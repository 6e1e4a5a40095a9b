"""Building models in IFC read into velmarin: rooms, doors, windows and columns.

`read_building(path)` runs ifcopenshell's geometry engine over an IFC2X3 or
IFC4 model and returns a `Building`: a `SpatialRegistry` of every IfcSpace
as a room, every door, window and opening as an aperture and every column as
a wire, with a record of each, the graph of rooms across walls and slabs,
and routes through doors.

Needs ifcopenshell: ``pip install 'velmarin[ifc]'``.
"""
try:
    import ifcopenshell  # noqa: F401
except ImportError as missing:
    raise ImportError(
        "velmarin_ifc reads IFC models with ifcopenshell, which is not installed; "
        "install it with: pip install 'velmarin[ifc]'"
    ) from missing

from velmarin_ifc._building import Building, Element, Space
from velmarin_ifc._reading import read_building

__all__ = ["Building", "Element", "Space", "read_building"]
