"""Type information for the velmarin extension module."""

from typing import Any, Mapping, Sequence, SupportsFloat, SupportsIndex, TypedDict, Union, final

import numpy as np
from numpy.typing import ArrayLike, NDArray

_Float = Union[SupportsFloat, SupportsIndex]
# Mesh.to_arrays: an (m, k) block when all faces have k indices, otherwise
# compressed rows (indices, offsets), face i being indices[offsets[i]:offsets[i + 1]].
_FaceArrays = Union[NDArray[np.int64], tuple[NDArray[np.int64], NDArray[np.int64]]]
# SpatialGraph.to_arrays: positions int64, or uint64 in a column holding one beyond int64.
_Positions = Union[NDArray[np.int64], NDArray[np.uint64]]

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

__all__: list[str]

@final
class Vector3D:
    """Standard 3D vector representation."""

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
    """Represents a node inside the spatial network with flexible metadata."""

    def __new__(cls, index: SupportsIndex, centroid: Vector3D) -> GraphNode: ...
    @property
    def index(self) -> int: ...
    @property
    def centroid(self) -> Vector3D: ...
    def set_attribute(self, key: str, value: Any) -> None: ...
    def get_attribute(self, key: str) -> Any: ...
    def get_all_attributes(self) -> dict[str, Any]: ...

@final
class GraphEdge:
    """Represents an edge inside the spatial network with flexible metadata."""

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
    def set_attribute(self, key: str, value: Any) -> None: ...
    def get_attribute(self, key: str) -> Any: ...
    def get_all_attributes(self) -> dict[str, Any]: ...

@final
class WireContact:
    """Represents intersection contacts between 1D linear elements (wires/columns) and 3D cells (meshes)."""

    @property
    def wire_index(self) -> int: ...
    @property
    def mesh_index(self) -> int: ...

@final
class SpatialGraph:
    """A high-performance spatial topological network mapping rooms, boundaries, and routing logic."""

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
    def to_cypher_queries(self) -> list[str]: ...
    def find_shortest_path(self, start: SupportsIndex, end: SupportsIndex) -> list[int]: ...
    def to_cypher_batches(self, batch_size: SupportsIndex) -> list[tuple[str, dict[str, Any]]]:
        """The graph as (query, parameters) pairs for a driver: the index on Room.index, then UNWIND
        batches of at most batch_size rooms, then of their walls and slabs.

        Attribute values travel as parameters: None (no property), bool, int, float and str as plain
        values (a subclass as the value it holds, never through its own methods; an int beyond the
        signed 64-bit range as the text of its decimal digits), a list or tuple whose items are all
        bool, int, float or str as a list of those values (an array property; empty stays empty),
        and anything else as its repr() text. Raises ValueError when batch_size is below 1.
        """
    def to_arrays(self) -> _GraphArrays:
        """The whole graph as new numpy arrays: positions int64 (uint64 in a column holding one beyond
        int64), centroids float64 (n, 3), contact_type an object array of str, wire_contacts (k, 2) rows of
        wire_index, mesh_index; each side's attributes as {key: object array}, keys sorted, None where
        an item lacks the key. Needs numpy."""
    @staticmethod
    def from_arrays(arrays: Mapping[str, Any]) -> SpatialGraph:
        """A new graph from arrays as to_arrays() gives them (lists and other array-likes too; 'attributes'
        optional), the same values bit for bit, each attribute set where it is not None. Edges whose ends
        lie beyond the nodes are kept. Raises TypeError or ValueError naming the array that is wrong."""

@final
class Wire:
    """Represents a 1D linear element (columns, beams, or wires)."""

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
    """A high-performance polygonal mesh representation tailored for architectural geometry."""

    def __new__(cls, vertices: Sequence[Vector3D], faces: Sequence[Sequence[SupportsIndex]]) -> Mesh: ...
    @property
    def vertices(self) -> list[Vector3D]: ...
    @property
    def faces(self) -> list[list[int]]: ...
    def validate(self) -> None: ...
    def clean(self, tolerance: _Float) -> Mesh: ...
    def compute_volume_centroid(self) -> Vector3D: ...
    def slice_by_plane(self, normal: Vector3D, origin: Vector3D) -> tuple[Mesh, Mesh]: ...
    def merge_equal_vertices(self) -> Mesh:
        """The mesh with vertices at equal coordinates made one (the first of each,
        in order; -0.0 equals 0.0, NaN nothing), faces renumbered, none dropped."""
    def orient_outward(self) -> Mesh:
        """The mesh with faces wound alike across edges exactly two of them share,
        and each connected shell that then encloses a negative volume turned whole."""
    def merge_coplanar_faces(
        self, normal_tolerance: _Float | None = None, offset_tolerance: _Float | None = None
    ) -> Mesh:
        """The mesh with coplanar faces that share edges merged into the polygon
        they tile where its outline is one simple loop. Coplanar: unit normals with
        n1 . n2 > 1 - ``normal_tolerance`` (None: 1e-9) and plane offsets within
        ``offset_tolerance`` (None: 1e-6)."""
    def select_faces(self, positions: Sequence[SupportsIndex]) -> Mesh:
        """The faces at ``positions``, in that order, with all the vertices; IndexError past the faces."""
    def face_normals(self) -> NDArray[np.float64]:
        """Each face's unit Newell normal as a new (m, 3) array; NaN for a face without area. Needs numpy."""
    @staticmethod
    def from_arrays(vertices: ArrayLike, faces: ArrayLike | Sequence[Sequence[SupportsIndex]]) -> Mesh: ...
    def to_arrays(self) -> tuple[NDArray[np.float64], _FaceArrays]: ...

@final
class TopologicalEntity:
    """Represents any entity inside the topological hierarchy."""

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
    """The main high-performance workspace container managing multi-mesh and multi-dimensional spatial elements."""

    def __new__(
        cls, meshes: Sequence[Mesh], wires: Sequence[Wire], apertures: Sequence[Mesh]
    ) -> SpatialRegistry: ...
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
    def build_spatial_graph(self, tolerance: _Float) -> SpatialGraph: ...
    def build_spatial_graph_with_walls(
        self, tolerance: _Float, wall_thickness: _Float, slab_thickness: _Float | None = None
    ) -> SpatialGraph:
        """The graph of rooms that walls up to ``wall_thickness`` and slabs up to
        ``slab_thickness`` (None: ``wall_thickness``) keep apart, nearest first.

        Every edge carries the attributes ``"wall_thickness"`` (float, the gap s),
        ``"opening_area"`` (float, the area the openings took) and ``"apertures"``
        (a new list of ints: the positions in ``registry.apertures``, ascending,
        of the apertures whose cut took area: the area left before an aperture's
        faces were cut, less the area left after them, above the overlay's
        rounding, 2**-20 times the square of the longer side of the contact
        region's bounding box; empty when ``opening_area`` is 0).

        Raises ValueError for a ``wall_thickness`` or ``slab_thickness`` below 0,
        NaN or infinite.
        """

@final
class IfcParser:
    """Native IFC Parser Engine. Parses points and wire loops directly inside C++ with O(N) performance."""

    @staticmethod
    def parse_ifc_points_and_faces(ifc_content: str) -> Mesh: ...

def boolean_join_extruded(mesh_a: Mesh, mesh_b: Mesh, z_base: _Float, height: _Float) -> list[Mesh]: ...
