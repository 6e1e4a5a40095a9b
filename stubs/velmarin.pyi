"""Type information for the velmarin extension module."""

from collections.abc import Mapping, Sequence
from typing import Any, SupportsFloat, SupportsIndex, TypeAlias, TypedDict, final

import numpy as np
from numpy.typing import ArrayLike, NDArray

_Float = SupportsFloat | SupportsIndex
# A product as IfcParser.model_products gives it: number, global_id, type, name, long_name,
# storey (name, elevation) or None, filling (global_id, type, name) or None, solid or None.
_ProductRow: TypeAlias = tuple[
    int, str, str, str, str, tuple[str, float] | None, tuple[str, str, str] | None, Mesh | None
]
# Mesh.to_arrays: an (m, k) block when all faces have k indices, otherwise
# compressed rows (indices, offsets), face i being indices[offsets[i]:offsets[i + 1]].
_FaceArrays = NDArray[np.int64] | tuple[NDArray[np.int64], NDArray[np.int64]]
# SpatialGraph.to_arrays: positions int64, or uint64 in a column holding one beyond int64.
_Positions = NDArray[np.int64] | NDArray[np.uint64]

class _NodeArrays(TypedDict):
    index: _Positions
    centroid: NDArray[np.float64]
    attributes: dict[str, NDArray[np.object_]]

class _EdgeArrays(TypedDict):
    node_a: _Positions
    node_b: _Positions
    shared_area: NDArray[np.float64]
    contact_centroid: NDArray[np.float64]
    contact_type: NDArray[np.object_]
    attributes: dict[str, NDArray[np.object_]]

class _GraphArrays(TypedDict):
    nodes: _NodeArrays
    edges: _EdgeArrays
    wire_contacts: _Positions

__all__ = [
    "Vector3D",
    "GraphNode",
    "GraphEdge",
    "WireContact",
    "SpatialGraph",
    "Wire",
    "Mesh",
    "TopologicalEntity",
    "SpatialRegistry",
    "IfcParser",
    "boolean_join_extruded",
]

@final
class Vector3D:
    """A point or direction: x, y and z, readable and writable floats. Read from any property of the
    module, a vector is a new copy."""

    def __new__(cls, x: _Float, y: _Float, z: _Float) -> Vector3D: ...
    @property
    def x(self) -> float: ...
    @x.setter
    def x(self, value: _Float) -> None: ...
    @property
    def y(self) -> float: ...
    @y.setter
    def y(self, value: _Float) -> None: ...
    @property
    def z(self) -> float: ...
    @z.setter
    def z(self, value: _Float) -> None: ...

@final
class GraphNode:
    """A room of the graph: its position among the nodes, its centroid and free attributes."""

    def __new__(cls, index: SupportsIndex, centroid: Vector3D) -> GraphNode: ...
    @property
    def index(self) -> int: ...
    @property
    def centroid(self) -> Vector3D: ...
    def set_attribute(self, key: str, value: Any) -> None:
        """Stores the object itself under key, replacing what the key held."""
    def get_attribute(self, key: str) -> Any:
        """The object stored under key, or None when the key holds nothing."""
    def get_all_attributes(self) -> dict[str, Any]:
        """A new dict of every key and the object stored under it."""

@final
class GraphEdge:
    """A contact between two rooms, "VerticalWallContact" or "HorizontalSlabContact": the two node
    positions, the shared area, its centroid and free attributes."""

    def __new__(
        cls,
        node_a: SupportsIndex,
        node_b: SupportsIndex,
        shared_area: _Float,
        contact_centroid: Vector3D,
        contact_type: str,
    ) -> GraphEdge: ...
    @property
    def node_a(self) -> int: ...
    @property
    def node_b(self) -> int: ...
    @property
    def shared_area(self) -> float: ...
    @property
    def contact_centroid(self) -> Vector3D: ...
    @property
    def contact_type(self) -> str: ...
    def set_attribute(self, key: str, value: Any) -> None:
        """Stores the object itself under key, replacing what the key held."""
    def get_attribute(self, key: str) -> Any:
        """The object stored under key, or None when the key holds nothing."""
    def get_all_attributes(self) -> dict[str, Any]:
        """A new dict of every key and the object stored under it."""

@final
class WireContact:
    """A wire standing in a room: the wire's position in the registry and the room's mesh. Made by the
    graph builds only."""

    @property
    def wire_index(self) -> int: ...
    @property
    def mesh_index(self) -> int: ...

@final
class SpatialGraph:
    """The dual graph of a building: rooms as nodes, shared walls and slabs as edges, and the rooms each
    wire stands in. Built by the registry or by hand; nodes and edges read as the very objects."""

    def __new__(
        cls,
        nodes: Sequence[GraphNode],
        edges: Sequence[GraphEdge],
        wire_contacts: Sequence[WireContact],
    ) -> SpatialGraph: ...
    @property
    def nodes(self) -> list[GraphNode]: ...
    @property
    def edges(self) -> list[GraphEdge]: ...
    @property
    def wire_contacts(self) -> list[WireContact]: ...
    def to_cypher_queries(self) -> list[str]:
        """One CREATE (:Room ...) statement per node, then one MATCH ... CREATE ...[:SHARES_WALL ...]
        per edge, every value written into the text."""
    def find_shortest_path(self, start: SupportsIndex, end: SupportsIndex) -> list[int]:
        """The node positions from start to end along the shortest chain of edges (centroid distances),
        [] when end cannot be reached. Raises ValueError for a position past the nodes."""
    def to_cypher_batches(self, batch_size: SupportsIndex) -> list[tuple[str, dict[str, Any]]]:
        """(query, parameters) pairs for a driver: the index on Room.index, then UNWIND batches of at
        most batch_size rooms and walls, every value a parameter. Raises ValueError for a batch_size below 1."""
    def to_arrays(self) -> _GraphArrays:
        """The whole graph as new numpy arrays, {"nodes", "edges", "wire_contacts"}, attributes as object
        arrays by key. Needs numpy."""
    @staticmethod
    def from_arrays(arrays: Mapping[str, Any]) -> SpatialGraph:
        """A new graph from arrays as to_arrays() gives them, the same values bit for bit. Raises
        TypeError or ValueError naming the array that is wrong."""

@final
class Wire:
    """A column, beam or wire between two points; start and end writable."""

    def __new__(cls, start: Vector3D, end: Vector3D) -> Wire: ...
    @property
    def start(self) -> Vector3D: ...
    @start.setter
    def start(self, value: Vector3D) -> None: ...
    @property
    def end(self) -> Vector3D: ...
    @end.setter
    def end(self, value: Vector3D) -> None: ...

@final
class Mesh:
    """A validated polygon mesh: faces of 3 or more vertex positions below the vertex count. A mesh
    never changes; vertices and faces read as copies and every operation returns a new mesh."""

    def __new__(cls, vertices: Sequence[Vector3D], faces: Sequence[Sequence[SupportsIndex]]) -> Mesh: ...
    @property
    def vertices(self) -> list[Vector3D]: ...
    @property
    def faces(self) -> list[list[int]]: ...
    def validate(self) -> None:
        """Checks the faces again; raises ValueError or IndexError for the first bad face."""
    def clean(self, tolerance: _Float) -> Mesh:
        """The mesh with vertices in one cell of side tolerance welded into one and the faces that
        collapse dropped."""
    def compute_volume_centroid(self) -> Vector3D:
        """The mean of all the vertices; NaN for a mesh without vertices."""
    def slice_by_plane(self, normal: Vector3D, origin: Vector3D) -> tuple[Mesh, Mesh]:
        """The two open triangle meshes above and below the plane through origin across normal. Raises
        ValueError for a normal of (nearly) zero length."""
    def merge_equal_vertices(self) -> Mesh:
        """The mesh with vertices at equal coordinates made one (the first of each), faces renumbered
        and none dropped."""
    def orient_outward(self) -> Mesh:
        """The mesh with faces wound alike across the edges two of them share, each shell turned to
        enclose a positive volume: a closed solid's faces face out."""
    def merge_coplanar_faces(
        self, normal_tolerance: _Float | None = None, offset_tolerance: _Float | None = None
    ) -> Mesh:
        """The mesh with coplanar faces that share edges merged into the polygon they tile (None: 1e-9
        for normals, 1e-6 for offsets); a group whose outline is not one simple loop stays."""
    def select_faces(self, positions: Sequence[SupportsIndex]) -> Mesh:
        """The faces at positions, in that order, with all the vertices; IndexError past the faces."""
    def face_normals(self) -> NDArray[np.float64]:
        """Each face's unit Newell normal as a new (m, 3) float64 array, NaN for a face without area.
        Needs numpy."""
    @staticmethod
    def from_arrays(vertices: ArrayLike, faces: ArrayLike | Sequence[Sequence[SupportsIndex]]) -> Mesh:
        """A validated mesh from an (n, 3) array of reals and an (m, k) integer array or index
        sequences of any lengths. Needs numpy."""
    def to_arrays(self) -> tuple[NDArray[np.float64], _FaceArrays]:
        """(vertices, faces) as new numpy arrays: float64 (n, 3), and int64 (m, k) or (indices, offsets)
        when face lengths differ. Needs numpy."""

@final
class TopologicalEntity:
    """A record of the site, building, storey and space hierarchy: id, entity_type and parent_id (None
    for a root), all writable."""

    def __new__(cls, id: SupportsIndex, entity_type: str, parent_id: SupportsIndex | None) -> TopologicalEntity: ...
    @property
    def id(self) -> int: ...
    @id.setter
    def id(self, value: SupportsIndex) -> None: ...
    @property
    def entity_type(self) -> str: ...
    @entity_type.setter
    def entity_type(self, value: str) -> None: ...
    @property
    def parent_id(self) -> int | None: ...
    @parent_id.setter
    def parent_id(self, value: SupportsIndex | None) -> None: ...

@final
class SpatialRegistry:
    """The building: rooms (meshes), columns (wires) and openings (apertures), copied in; their positions
    are the graph's numbers. Each list reads as copies and is replaced whole."""

    def __new__(cls, meshes: Sequence[Mesh], wires: Sequence[Wire], apertures: Sequence[Mesh]) -> SpatialRegistry: ...
    @property
    def meshes(self) -> list[Mesh]: ...
    @meshes.setter
    def meshes(self, value: Sequence[Mesh]) -> None: ...
    @property
    def wires(self) -> list[Wire]: ...
    @wires.setter
    def wires(self, value: Sequence[Wire]) -> None: ...
    @property
    def apertures(self) -> list[Mesh]: ...
    @apertures.setter
    def apertures(self, value: Sequence[Mesh]) -> None: ...
    def build_spatial_graph(self, tolerance: _Float) -> SpatialGraph:
        """The dual graph: a node per room, an edge per shared wall or slab less the apertures in it, and
        the rooms each wire stands in."""
    def build_spatial_graph_with_walls(
        self, tolerance: _Float, wall_thickness: _Float, slab_thickness: _Float | None = None
    ) -> SpatialGraph:
        """The dual graph of rooms that walls up to wall_thickness and slabs up to slab_thickness (None:
        wall_thickness) keep apart, nearest first; each edge carries the attributes wall_thickness,
        opening_area and apertures. Raises ValueError for a thickness below 0, NaN or infinite."""

@final
class IfcParser:
    """The readers of IFC text, a namespace for static methods."""

    @staticmethod
    def parse_ifc_points_and_faces(ifc_content: str) -> Mesh:
        """The IFCCARTESIANPOINT and IFCPOLYLOOP records of an IFC text as one mesh, a face per loop."""

    @staticmethod
    def element_solids(
        ifc_content: bytes,
        elements: Sequence[int],
        metres_per_unit: _Float,
        weld: _Float,
        faces: Sequence[str] | None = None,
    ) -> list[Mesh | None]:
        """Each element's body (by step number) as planar faces facing out, in world coordinates and
        metres, welded in cells of weld; None where the body is not of the kinds made here
        (extrusions of polylines, rectangles and circles, faceted breps, shell models, face sets,
        mapped shapes of those). faces: 'all', 'opening' or 'treads' for each element (None: all)."""

    @staticmethod
    def model_solids(
        ifc_content: bytes, types: Sequence[str], faces: Sequence[str], weld: _Float
    ) -> tuple[float, list[int], list[Mesh | None]] | None:
        """The project's length unit in metres, the step numbers of the records of the types named
        (in capitals, as the text writes them) and their solids as element_solids makes them, keeping
        the faces named for each type; None when the text gives no length unit that reads."""

    @staticmethod
    def model_products(
        ifc_content: bytes,
        schema: str,
        types: Sequence[str],
        faces: Sequence[str],
        part_types: Sequence[str],
        weld: _Float,
    ) -> tuple[float, list[_ProductRow], str] | None:
        """The project's length unit in metres, the products of the types named (each type's by step
        number; where part_types names a type, only those that aggregate none of it) as (number,
        global_id, type, name, long_name, storey, filling, solid), and what the records alone leave
        unclear ('' when nothing); schema: 'IFC2X3' or 'IFC4'. None when no length unit reads."""

def boolean_join_extruded(mesh_a: Mesh, mesh_b: Mesh, z_base: _Float, height: _Float) -> list[Mesh]:
    """Two clashing rooms as disjoint prisms from z_base up by height: the common part, then the part
    only in mesh_a, then the part only in mesh_b, each footprint a mesh's first face seen from above."""
