"""What each contact of a building's graph offers someone walking: the passage
through it and the elements cut from it; and the doors that lead out."""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass
from typing import TYPE_CHECKING

from velmarin import Mesh, SpatialGraph, SpatialRegistry, Vector3D
from velmarin_ifc._geometry import FACING_UP, Point, bounds, face_normal

if TYPE_CHECKING:
    from velmarin_ifc._building import Element

DOOR, WINDOW, OPENING, STAIR = "door", "window", "opening", "stair"
OPEN, NONE = "open", "none"
# Every passage, in the order an edge is given one: the first of door, opening
# and stair of which an element was cut from it, else open or none.
PASSAGES = (DOOR, OPENING, STAIR, OPEN, NONE)

# What the classes read as apertures are, by the start of their names, which
# their subtypes share (IfcDoorStandardCase, IfcOpeningStandardCase, ...);
# flights are stairs and ramps alike.
KINDS = (("IfcDoor", DOOR), ("IfcWindow", WINDOW), ("IfcOpening", OPENING), ("IfcStair", STAIR), ("IfcRamp", STAIR))


def kind_of(ifc_class: str) -> str | None:
    return next((kind for prefix, kind in KINDS if ifc_class.startswith(prefix)), None)


def standing_for(element: Element) -> tuple[str | None, str]:
    """What an aperture is to a walker, and the global id it is listed by: an
    opening that something fills stands for what fills it (a door, a window,
    or an element of another kind, which opens no passage and is not listed)."""
    kind = kind_of(element.ifc_class)
    if kind == OPENING and element.filling is not None:
        return kind_of(element.filling.ifc_class), element.filling.global_id
    return kind, element.global_id


def mark_passages(graph: SpatialGraph, apertures: Sequence[Element], tolerance: float) -> None:
    """Sets "passage" and "elements" on every edge of a graph across walls
    from the apertures its "apertures" attribute lists."""
    stands = [standing_for(a) for a in apertures]
    for edge in graph.edges:
        cut = [stands[k] for k in edge.get_attribute("apertures")]
        kinds = {kind for kind, _ in cut}
        passage = next((kind for kind in (DOOR, OPENING, STAIR) if kind in kinds), None)
        if passage is None:
            passage = OPEN if abs(edge.get_attribute("wall_thickness")) <= tolerance else NONE
        edge.set_attribute("passage", passage)
        edge.set_attribute("elements", list(dict.fromkeys(gid for kind, gid in cut if kind is not None)))


@dataclass(frozen=True)
class Exit:
    """A door or unfilled opening that leads from a room to the outside: the
    room's node position, the door's (or opening's) global id, and the centre
    of its bounds, where a way out ends."""

    room: int
    global_id: str
    centre: Point


@dataclass(frozen=True)
class WallFace:
    """A room's face that is a wall's (its normal closer to level than the line
    between slabs and walls), ready for the tests `find_exits` makes."""

    normal: Point
    offset: float
    drop: int  # the axis left out to see the face in plan of its own
    outline: list[tuple[float, float]]


def find_exits(
    graph: SpatialGraph,
    registry: SpatialRegistry,
    apertures: Sequence[Element],
    tolerance: float,
    wall_thickness: float,
) -> list[Exit]:
    """The doors and unfilled openings of a graph across walls (built with
    `tolerance` and `wall_thickness`) that cut no contact between two rooms and
    stand in one room's outer wall: parallel to one of its faces, over it (the
    centre of their bounds seen square onto it lies inside it), and within
    `wall_thickness` in front of it. A door and the opening it fills are one;
    where several rooms' faces qualify, the nearest takes it. In aperture order."""
    cut = {k for edge in graph.edges for k in edge.get_attribute("apertures")}
    units: dict[str, list[int]] = {}
    for k, element in enumerate(apertures):
        kind, global_id = standing_for(element)
        if kind in (DOOR, OPENING):
            units.setdefault(global_id, []).append(k)
    candidates = {global_id: ks for global_id, ks in units.items() if cut.isdisjoint(ks)}
    if not candidates:
        return []
    meshes, rooms = registry.apertures, registry.meshes
    boxes = [bounds(mesh.vertices) for mesh in rooms]
    walls: dict[int, list[WallFace]] = {}  # of the rooms near a candidate
    exits = []
    for global_id, ks in candidates.items():
        points = [p for k in ks for p in meshes[k].vertices]
        lo, hi = bounds(points)
        centre = ((lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2)
        normals = list({n for k in ks for n in face_normals(meshes[k])})
        nearest: tuple[float, int] | None = None
        for room, (low, high) in enumerate(boxes):
            if all(low[i] - wall_thickness <= centre[i] <= high[i] + wall_thickness for i in range(3)):
                if room not in walls:
                    walls[room] = wall_faces(rooms[room])
                for face in walls[room]:
                    gap = gap_in_front(face, points, normals, centre, tolerance, wall_thickness)
                    if gap is not None and (nearest is None or (gap, room) < nearest):
                        nearest = gap, room
        if nearest is not None:
            exits.append(Exit(nearest[1], global_id, centre))
    return exits


def gap_in_front(
    face: WallFace,
    points: Sequence[Vector3D],
    normals: Sequence[Point],
    centre: Point,
    tolerance: float,
    wall_thickness: float,
) -> float | None:
    """How far in front of a room's face an aperture (its points, the normals
    of its faces, its centre) stands, when it stands in the wall there; None
    when it does not."""
    n = face.normal
    u, v = (i for i in range(3) if i != face.drop)
    if not inside(face.outline, centre[u], centre[v]):
        return None
    if not any(abs(n[0] * m[0] + n[1] * m[1] + n[2] * m[2]) > 1.0 - tolerance for m in normals):
        return None
    ahead = [n[0] * p.x + n[1] * p.y + n[2] * p.z - face.offset for p in points]
    near, far = min(ahead), max(ahead)
    return max(near, 0.0) if near <= wall_thickness and far > -tolerance else None


def wall_faces(mesh: Mesh) -> list[WallFace]:
    points = mesh.vertices
    faces = []
    for face in mesh.faces:
        polygon = [points[i] for i in face]
        n = face_normal(polygon)
        if n is None or abs(n[2]) > FACING_UP:
            continue
        drop = max(range(3), key=lambda i: abs(n[i]))
        u, v = (i for i in range(3) if i != drop)
        coordinates = [(p.x, p.y, p.z) for p in polygon]
        offset = n[0] * coordinates[0][0] + n[1] * coordinates[0][1] + n[2] * coordinates[0][2]
        faces.append(WallFace(n, offset, drop, [(c[u], c[v]) for c in coordinates]))
    return faces


def face_normals(mesh: Mesh) -> list[Point]:
    points = mesh.vertices
    return [n for n in (face_normal([points[i] for i in face]) for face in mesh.faces) if n is not None]


def inside(outline: Sequence[tuple[float, float]], x: float, y: float) -> bool:
    """Whether a point lies inside a polygon (crossings of a ray towards +x)."""
    crossings = False
    for (ax, ay), (bx, by) in zip(outline, [*outline[1:], outline[0]]):
        if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
            crossings = not crossings
    return crossings
