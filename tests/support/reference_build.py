"""A straightforward Python version of ``SpatialRegistry.build_spatial_graph``
and of ``build_spatial_graph_with_walls`` (``reference_build_with_walls``).

It follows the native build step by step, without its shortcuts, so that the
two can be compared: on speed in bench/bench_build.py, on results in
tests/test_build_reference.py. It reads plain data (the ``Building`` of
building.py, or ``plain_registry(registry)``) and needs numpy, shapely and
rtree, not velmarin.

- Nodes: the mean of each mesh's vertices, summed in vertex order.
- Wire contacts: every wire's midpoint against every fan triangle of every
  mesh, by the parity of the crossings of the fixed tilted ray; the triangle
  tests run vectorised over all triangles at once, with the same formulas and
  the same comparisons (a NaN fails them the same way).
- Cell contacts: Newell planes of all faces, an R*-tree of the faces' boxes
  grown by the tolerance (bulk-loaded), and for each face of mesh i every hit
  of a mesh above i that passes the two plane tests; the two faces are
  projected into the frame of the first, intersected, every coplanar aperture
  face is subtracted in list order, and what is left counts when its area
  exceeds the tolerance.

Where it departs from the letter of the algorithm, the result stays the same:
- The aperture faces' planes are computed once per build, not once per
  candidate pair, and the plane test runs over all of them at once; every
  aperture face that passes is still subtracted, overlapping or not.
- The polygons are shapely's, snapped to a grid of the same fineness as the
  native overlay's (2**-29 of the operands' extent) but anchored at zero
  rather than at the centre of their box, so areas and centroids agree with
  the native build's up to that grid, not bit for bit.
- Within one face, the candidate faces come in (mesh, face) order; the native
  tree yields them in its own order, which the algorithm does not fix.
- A tolerance that is not positive (or NaN) gives no edge: the algorithm
  gets there through its plane test, this version stops before it would put
  such grown boxes into the tree.
- A region whose area is not above the tolerance before the apertures are
  cut is dropped at once: cutting can only make it smaller.
- A face that crosses itself is made valid by shapely (its pieces), which is
  the even-odd region for simple crossings only. Generated rooms have none.

The build across walls: for each face A of mesh i, the faces of every other
mesh that face it (opposite normals within the tolerance, the vertex mean
of B in front of A's plane by s, -tolerance < s <= the limit: the slab
thickness when A makes a slab contact, the wall thickness otherwise) among
the hits of a tree of boxes grown by max(wall thickness, slab thickness,
tolerance), taken in order of (s, mesh, face). What is left of A is carried
from face to face: each face of a mesh above i gets what is left
intersected with itself, and every face then takes itself away from what is
left. A region with an area above the tolerance becomes an edge; the
aperture faces parallel to A whose plane (offset signed as in the plane
test) lies between A's plane and the plane s in front of it, within the
tolerance beyond either, are subtracted in list order; the area they took
counts as an opening only above 2**-20 x (the larger side of the region's
box)**2, the overlay's rounding, and then the edge lists the apertures
whose faces took more than that rounding each (the area left before them
less the area left after them).
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from dataclasses import dataclass, field

import numpy as np
import shapely
from rtree import index as rtree_index
from shapely.geometry import Polygon

Point = tuple[float, float, float]
PlainMesh = tuple[Sequence[Point], Sequence[Sequence[int]]]
PlainWire = tuple[Point, Point]

RAY = (1e-7, 2e-7, 1.0)
PARALLEL_EPSILON = 1e-8  # ray-triangle determinant
RAY_EPSILON = 1e-8  # a crossing must lie further along the ray than this
NORMAL_EPSILON = 1e-8  # a shorter Newell normal means no plane
SLAB_THRESHOLD = 0.707


@dataclass
class Edge:
    node_a: int
    node_b: int
    shared_area: float
    contact_centroid: Point
    contact_type: str
    attributes: dict = field(default_factory=dict)


@dataclass
class ReferenceGraph:
    node_centroids: list[Point] = field(default_factory=list)
    edges: list[Edge] = field(default_factory=list)
    wire_contacts: list[tuple[int, int]] = field(default_factory=list)


def plain_registry(registry):
    """(meshes, wires, apertures) of a velmarin registry as plain data."""

    def mesh(m):
        return [(v.x, v.y, v.z) for v in m.vertices], m.faces

    def point(v):
        return (v.x, v.y, v.z)

    return (
        [mesh(m) for m in registry.meshes],
        [(point(w.start), point(w.end)) for w in registry.wires],
        [mesh(a) for a in registry.apertures],
    )


def reference_build(meshes, wires, apertures, tolerance: float) -> ReferenceGraph:
    graph = ReferenceGraph()
    graph.node_centroids = [vertex_mean(vertices) for vertices, _ in meshes]
    graph.wire_contacts = wire_contacts(meshes, wires)
    if len(meshes) >= 2:
        graph.edges = cell_contacts(meshes, apertures, tolerance)
    return graph


def reference_build_with_walls(
    meshes, wires, apertures, tolerance: float, wall_thickness: float, slab_thickness: float | None = None
) -> ReferenceGraph:
    graph = ReferenceGraph()
    graph.node_centroids = [vertex_mean(vertices) for vertices, _ in meshes]
    graph.wire_contacts = wire_contacts(meshes, wires)
    if len(meshes) >= 2 and tolerance > 0 and math.isfinite(tolerance):
        slab = wall_thickness if slab_thickness is None else slab_thickness
        graph.edges = wall_contacts(meshes, apertures, tolerance, wall_thickness, slab)
    return graph


def vertex_mean(vertices) -> Point:
    if not vertices:
        return (math.nan, math.nan, math.nan)
    sx = sy = sz = 0.0
    for x, y, z in vertices:
        sx += x
        sy += y
        sz += z
    n = float(len(vertices))
    return (sx / n, sy / n, sz / n)


# --- wires -------------------------------------------------------------------


def fan_triangles(meshes):
    """Corner arrays (T, 3) of every fan triangle, and the mesh of each."""
    corners: list[list[Point]] = [[], [], []]
    owners: list[int] = []
    for m, (vertices, faces) in enumerate(meshes):
        for face in faces:
            if not face:
                raise IndexError(f"mesh {m} has a face without indices")
            for k in range(2, len(face)):
                for slot, at in enumerate((face[0], face[k - 1], face[k])):
                    corners[slot].append(vertices[at])
                owners.append(m)
    arrays = [np.array(c, dtype=np.float64).reshape(-1, 3) for c in corners]
    return arrays, np.array(owners, dtype=np.int64)


def cross(a, b):
    """Row-wise a x b for (T, 3) arrays or 3-tuples, component by component."""
    ax, ay, az = a
    bx, by, bz = b
    return (ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx)


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def wire_contacts(meshes, wires) -> list[tuple[int, int]]:
    if not wires or not meshes:
        return []
    (v0, v1, v2), owners = fan_triangles(meshes)
    contacts: list[tuple[int, int]] = []
    if len(owners) == 0:
        return contacts
    v0c = (v0[:, 0], v0[:, 1], v0[:, 2])
    e1 = tuple(v1[:, k] - v0[:, k] for k in range(3))
    e2 = tuple(v2[:, k] - v0[:, k] for k in range(3))
    h = cross(RAY, e2)
    a = dot(e1, h)
    with np.errstate(divide="ignore", invalid="ignore", over="ignore"):
        f = 1.0 / a
        for w, (start, end) in enumerate(wires):
            mid = tuple((start[k] + end[k]) * 0.5 for k in range(3))
            s = tuple(mid[k] - v0c[k] for k in range(3))
            u = f * dot(s, h)
            q = cross(s, e1)
            v = f * dot(RAY, q)
            t = f * dot(e2, q)
            crossing = (
                ~(np.abs(a) < PARALLEL_EPSILON) & ~((u < 0) | (u > 1)) & ~((v < 0) | (u + v > 1)) & (t > RAY_EPSILON)
            )
            counts = np.bincount(owners[crossing], minlength=len(meshes))
            contacts.extend((w, int(m)) for m in np.flatnonzero(counts % 2))
    return contacts


# --- planes, boxes, frames ---------------------------------------------------


def newell_plane(vertices, face):
    """(unit normal, offset), or None for a face without a plane."""
    if len(face) < 3:
        return None
    nx = ny = nz = 0.0
    n = len(face)
    for k in range(n):
        x0, y0, z0 = vertices[face[k]]
        x1, y1, z1 = vertices[face[(k + 1) % n]]
        nx += (y0 - y1) * (z0 + z1)
        ny += (z0 - z1) * (x0 + x1)
        nz += (x0 - x1) * (y0 + y1)
    length = math.sqrt(nx * nx + ny * ny + nz * nz)
    if length < NORMAL_EPSILON:
        return None
    normal = (nx / length, ny / length, nz / length)
    return normal, -dot(normal, vertices[face[0]])


def grown_box(vertices, face, tolerance):
    big = 1.7976931348623157e308
    low, high = [big] * 3, [-big] * 3
    for at in face:
        p = vertices[at]
        for k in range(3):
            low[k] = min(low[k], p[k])
            high[k] = max(high[k], p[k])
    low = [c - tolerance for c in low]
    high = [c + tolerance for c in high]
    return tuple(min(a, b) for a, b in zip(low, high)) + tuple(max(a, b) for a, b in zip(low, high))


def coincident(n, d, m, e, tolerance) -> bool:
    c = dot(n, m)
    if not abs(c) > 1 - tolerance:
        return False
    return abs(d - e) < tolerance if c > 0 else abs(d + e) < tolerance


def plane_frame(normal, origin):
    h = (1.0, 0.0, 0.0) if abs(normal[0]) < 0.9 else (0.0, 1.0, 0.0)
    w = cross(normal, h)
    length = math.sqrt(dot(w, w))
    u = (w[0] / length, w[1] / length, w[2] / length)
    return origin, u, cross(normal, u)


def project(vertices, face, frame):
    origin, u, v = frame
    ring = []
    for at in face:
        p = vertices[at]
        r = (p[0] - origin[0], p[1] - origin[1], p[2] - origin[2])
        ring.append((dot(r, u), dot(r, v)))
    polygon = Polygon(ring)
    if not polygon.is_valid:
        polygon = polygonal(shapely.make_valid(polygon))
    return polygon


# --- cell contacts -----------------------------------------------------------


@dataclass
class AperturePlanes:
    """Every aperture face that has a plane, as arrays for the plane test."""

    normals: np.ndarray
    offsets: np.ndarray
    corners: list[np.ndarray]  # (k, 3) per face
    sizes: np.ndarray  # k per face
    owners: np.ndarray  # the aperture's position per face

    @classmethod
    def of(cls, apertures):
        normals, offsets, corners, owners = [], [], [], []
        for owner, (vertices, mesh_faces) in enumerate(apertures):
            for face in mesh_faces:
                plane = newell_plane(vertices, face)
                if plane is not None:
                    normals.append(plane[0])
                    offsets.append(plane[1])
                    corners.append(np.array([vertices[at] for at in face], dtype=np.float64))
                    owners.append(owner)
        return cls(
            np.array(normals, dtype=np.float64).reshape(-1, 3),
            np.array(offsets, dtype=np.float64),
            corners,
            np.array([len(c) for c in corners], dtype=np.int64),
            np.array(owners, dtype=np.int64),
        )

    def coplanar(self, normal, offset, tolerance):
        """Positions, in list order, of the faces in the plane (normal, offset)."""
        return self.between(normal, offset, tolerance, 0.0)

    def between(self, normal, offset, tolerance, depth):
        """Positions, in list order, of the faces parallel to the plane
        (normal, offset) that lie between it and the plane `depth` in front,
        within the tolerance beyond either."""
        m = self.normals
        c = normal[0] * m[:, 0] + normal[1] * m[:, 1] + normal[2] * m[:, 2]
        gap = np.where(c > 0, offset - self.offsets, offset + self.offsets)
        inside = (min(depth, 0.0) - tolerance < gap) & (gap < max(depth, 0.0) + tolerance)
        return np.flatnonzero((np.abs(c) > 1 - tolerance) & inside)

    def projected(self, chosen, frame):
        """The chosen faces as polygons in the frame, in the order given.

        Faces of one vertex count are projected together: one matrix product
        and one polygon construction instead of one per face."""
        origin, u, v = frame
        axes = np.array([u, v], dtype=np.float64).T
        out = [None] * len(chosen)
        for size in np.unique(self.sizes[chosen]):
            slots = np.flatnonzero(self.sizes[chosen] == size)
            rings = (np.stack([self.corners[chosen[s]] for s in slots]) - np.array(origin)) @ axes
            for s, polygon in zip(slots, valid(shapely.polygons(rings))):
                out[s] = polygon
        return out


def valid(polygons):
    broken = ~shapely.is_valid(polygons)
    if broken.any():
        polygons[broken] = [polygonal(p) for p in shapely.make_valid(polygons[broken])]
    return polygons


def on_grid(operation, subject, clip):
    """The operation with both operands snapped to a grid of 2**-29 of their
    common extent, as the native overlay works. GEOS's floating-point overlay
    can fail outright on nearly collinear edges: two rectangles of a turned
    building that share an edge came out as the whole of one of them."""
    (a0, b0, a1, b1), (c0, d0, c1, d1) = subject.bounds, clip.bounds
    half = max(max(a1, c1) - min(a0, c0), max(b1, d1) - min(b0, d0)) / 2
    if not (half > 0 and math.isfinite(half)):
        return operation(subject, clip)
    k = math.log2(half)
    k = math.floor(k + 0.5) if k >= 0 else -math.floor(-k + 0.5)
    return operation(subject, clip, grid_size=2.0 ** (k - 29))


def polygonal(geometry):
    """Its polygons alone: the lines and points that an intersection may add
    have no area, and GEOS refuses them mixed with polygons on a grid."""
    if geometry.geom_type in ("Polygon", "MultiPolygon"):
        return geometry
    parts = [p for p in shapely.get_parts(geometry) if p.geom_type in ("Polygon", "MultiPolygon")]
    return shapely.union_all(parts)


def face_tree(meshes, tolerance):
    entries, owners = [], []
    for m, (vertices, faces) in enumerate(meshes):
        for f, face in enumerate(faces):
            entries.append((len(owners), grown_box(vertices, face, tolerance), None))
            owners.append((m, f))
    properties = rtree_index.Property(dimension=3)
    return rtree_index.Index(iter(entries), properties=properties), owners


def cell_contacts(meshes, apertures, tolerance) -> list[Edge]:
    if not tolerance > 0:
        return []
    tree, owners = face_tree(meshes, tolerance)
    planes = [[newell_plane(vertices, face) for face in faces] for vertices, faces in meshes]
    openings = AperturePlanes.of(apertures)
    edges: list[Edge] = []
    for i, (vertices, faces) in enumerate(meshes):
        for a, face in enumerate(faces):
            plane = planes[i][a]
            if plane is None:
                continue
            hits = sorted(tree.intersection(grown_box(vertices, face, tolerance)))
            for hit in hits:
                j, b = owners[hit]
                if j <= i or planes[j][b] is None:
                    continue
                normal, offset = plane
                if not coincident(normal, offset, *planes[j][b], tolerance):
                    continue
                edge = contact(meshes, i, face, j, b, plane, openings, tolerance)
                if edge is not None:
                    edges.append(edge)
    return edges


def face_centre(vertices, face):
    sx = sy = sz = 0.0
    for at in face:
        x, y, z = vertices[at]
        sx, sy, sz = sx + x, sy + y, sz + z
    n = float(len(face))
    return (sx / n, sy / n, sz / n)


def wall_contacts(meshes, apertures, tolerance, wall_thickness, slab_thickness) -> list[Edge]:
    reach = max(wall_thickness, slab_thickness, tolerance)
    tree, owners = face_tree(meshes, reach)
    planes = [[newell_plane(vertices, face) for face in faces] for vertices, faces in meshes]
    centres = [[face_centre(vertices, face) for face in faces] for vertices, faces in meshes]
    openings = AperturePlanes.of(apertures)
    edges: list[Edge] = []
    for i, (vertices, faces) in enumerate(meshes):
        for a, face in enumerate(faces):
            if planes[i][a] is None:
                continue
            normal, offset = planes[i][a]
            limit = slab_thickness if abs(normal[2]) > SLAB_THRESHOLD else wall_thickness
            facing = []
            for hit in tree.intersection(grown_box(vertices, face, reach)):
                j, b = owners[hit]
                if j == i or planes[j][b] is None or not dot(normal, planes[j][b][0]) < -(1 - tolerance):
                    continue
                s = dot(normal, centres[j][b]) + offset
                if -tolerance < s <= limit:
                    facing.append((s, j, b))
            if not any(j > i for _, j, _ in facing):
                continue
            frame = plane_frame(normal, vertices[face[0]])
            left = project(vertices, face, frame)
            for s, j, b in sorted(facing):
                other = project(meshes[j][0], meshes[j][1][b], frame)
                if j > i:
                    region = polygonal(on_grid(shapely.intersection, left, other))
                    edge = wall_contact(i, j, s, region, planes[i][a], frame, openings, tolerance)
                    if edge is not None:
                        edges.append(edge)
                left = polygonal(on_grid(shapely.difference, left, other))
    return edges


def wall_contact(i, j, s, region, plane, frame, openings, tolerance):
    whole = region.area
    if not whole > tolerance:
        return None
    normal, offset = plane
    cut = region
    chosen = openings.between(normal, offset, tolerance, s)
    takes = {}  # the area each aperture took, by position
    for owner, opening in zip(openings.owners[chosen], openings.projected(chosen, frame)):
        before = cut.area
        cut = polygonal(on_grid(shapely.difference, cut, opening))
        takes[int(owner)] = takes.get(int(owner), 0.0) + before - cut.area
    x0, y0, x1, y1 = region.bounds
    rounding = max(x1 - x0, y1 - y0) ** 2 * 2.0**-20
    taken = whole - cut.area
    took = [owner for owner, area in takes.items() if area > rounding]
    if not taken > rounding:
        cut, taken, took = region, 0.0, []
    centre = (cut if cut.area > tolerance else region).centroid
    origin, u, v = frame
    centroid = tuple(origin[k] + centre.x * u[k] + centre.y * v[k] + normal[k] * (s * 0.5) for k in range(3))
    kind = "HorizontalSlabContact" if abs(normal[2]) > SLAB_THRESHOLD else "VerticalWallContact"
    return Edge(i, j, cut.area, centroid, kind, {"wall_thickness": s, "opening_area": taken, "apertures": took})


def contact(meshes, i, face, j, b, plane, openings, tolerance):
    normal, offset = plane
    vertices = meshes[i][0]
    frame = plane_frame(normal, vertices[face[0]])
    region = on_grid(
        shapely.intersection, project(vertices, face, frame), project(meshes[j][0], meshes[j][1][b], frame)
    )
    if not region.area > tolerance:
        return None  # cutting can only shrink it
    region = polygonal(region)
    for opening in openings.projected(openings.coplanar(normal, offset, tolerance), frame):
        region = polygonal(on_grid(shapely.difference, region, opening))
    area = region.area
    if not area > tolerance:
        return None
    centre = region.centroid
    origin, u, v = frame
    centroid = tuple(origin[k] + centre.x * u[k] + centre.y * v[k] for k in range(3))
    kind = "HorizontalSlabContact" if abs(normal[2]) > SLAB_THRESHOLD else "VerticalWallContact"
    return Edge(i, j, area, centroid, kind)


# --- comparison with the native graph -----------------------------------------


def graph_differences(native, reference: ReferenceGraph, within: float = 1e-6) -> list[str]:
    """How a velmarin ``SpatialGraph`` differs from the reference graph.

    Edges are compared as multisets within each ``node_a`` (the order inside
    one face follows the native tree), areas and centroid coordinates up to
    ``within`` (the overlay's grid). Also checks that the native edges come
    grouped by ascending ``node_a``. An empty list means they agree."""
    out: list[str] = []
    centroids = [(n.centroid.x, n.centroid.y, n.centroid.z) for n in native.nodes]
    if len(centroids) != len(reference.node_centroids):
        out.append(f"{len(centroids)} nodes, reference {len(reference.node_centroids)}")
    for i, (p, q) in enumerate(zip(centroids, reference.node_centroids)):
        if not all(a == b or (math.isnan(a) and math.isnan(b)) for a, b in zip(p, q)):
            out.append(f"node {i}: centroid {p}, reference {q}")
    wires = [(w.wire_index, w.mesh_index) for w in native.wire_contacts]
    if wires != reference.wire_contacts:
        out.append(f"wire contacts differ: {len(wires)} against {len(reference.wire_contacts)} in the reference")
    edges = [
        Edge(
            e.node_a,
            e.node_b,
            e.shared_area,
            (e.contact_centroid.x, e.contact_centroid.y, e.contact_centroid.z),
            e.contact_type,
            e.get_all_attributes(),
        )
        for e in native.edges
    ]
    firsts = [e.node_a for e in edges]
    if firsts != sorted(firsts):
        out.append("native edges are not grouped by ascending node_a")
    for node, (mine, theirs) in sorted(grouped_by_node_a(edges, reference.edges).items()):
        out.extend(f"node_a {node}: {d}" for d in multiset_differences(mine, theirs, within))
    return out


def grouped_by_node_a(native_edges, reference_edges):
    groups = {}
    for slot, edges in enumerate((native_edges, reference_edges)):
        for e in edges:
            groups.setdefault(e.node_a, ([], []))[slot].append(e)
    return groups


def multiset_differences(native_edges, reference_edges, within):
    """Matches each native edge with an unused reference edge that agrees."""

    def close(p, q):
        return p == q if isinstance(p, list) else abs(p - q) <= within

    def agree(a: Edge, b: Edge) -> bool:
        return (
            (a.node_b, a.contact_type, sorted(a.attributes)) == (b.node_b, b.contact_type, sorted(b.attributes))
            and abs(a.shared_area - b.shared_area) <= within
            and all(abs(p - q) <= within for p, q in zip(a.contact_centroid, b.contact_centroid))
            and all(close(a.attributes[k], b.attributes[k]) for k in a.attributes)
        )

    left = list(reference_edges)
    out = []
    for e in native_edges:
        match = next((k for k, r in enumerate(left) if agree(e, r)), None)
        if match is None:
            out.append(f"native edge {e} has no match in the reference")
        else:
            del left[match]
    out.extend(f"reference edge {r} has no match in the native graph" for r in left)
    return out
