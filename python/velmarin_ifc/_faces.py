"""The faces of a solid, rebuilt from the triangles the geometry engine gives:
facing out, and merged into the planar polygons they tile.

Faceted boundaries are often written inside out, or with some faces turned,
and the walls between rooms are found between faces that face out. A room's
wall arrives as two or more triangles: kept as they are, it would meet the
next room's wall in pieces, one per pair of triangles, the smallest of them
slivers that fall under the contact tolerance; merged back into the polygon
they tile, it meets it in one region.
"""
from __future__ import annotations

import math
from typing import Sequence

# Triangles are in one plane when their unit normals differ by less than this
# (about 0.003 degrees) and their planes' distances from the origin by less
# than PLANE_OFFSET metres. Triangles of one planar face agree far closer.
NORMAL_DOT = 1.0 - 1e-9
PLANE_OFFSET = 1e-6

Point = Sequence[float]
Triangle = Sequence[int]


def solid_faces(points: Sequence[Point], triangles: Sequence[Triangle]) -> list[list[int]]:
    """The triangles facing out, and merged where they tile a planar polygon."""
    sharing = edge_sharing(triangles)
    return planar_faces(points, facing_out(points, triangles, sharing), sharing)


def facing_out(points: Sequence[Point], triangles: Sequence[Triangle],
               sharing: dict[tuple[int, int], list[int]]) -> list[list[int]]:
    """The triangles wound alike across every edge two of them share, and each
    connected shell turned to enclose a positive volume."""
    wound = [list(t) for t in triangles]
    done = [False] * len(wound)
    for first in range(len(wound)):
        if done[first]:
            continue
        done[first] = True
        shell, queue = [first], [first]
        while queue:
            k = queue.pop()
            for a, b in edges(wound[k]):
                pair = sharing[(a, b) if a < b else (b, a)]
                if len(pair) != 2:
                    continue
                other = pair[0] if pair[1] == k else pair[1]
                if not done[other]:
                    if (a, b) in edges(wound[other]):
                        wound[other].reverse()
                    done[other] = True
                    shell.append(other)
                    queue.append(other)
        if volume(points, [wound[k] for k in shell]) < 0:
            for k in shell:
                wound[k].reverse()
    return wound


def volume(points: Sequence[Point], triangles: Sequence[Triangle]) -> float:
    """Six times the signed volume the triangles enclose, taken from their first corner."""
    ox, oy, oz = points[triangles[0][0]]
    total = 0.0
    for t in triangles:
        (ax, ay, az), (bx, by, bz), (cx, cy, cz) = ((p[0] - ox, p[1] - oy, p[2] - oz) for p in (points[i] for i in t))
        total += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)
    return total


def edge_sharing(triangles: Sequence[Triangle]) -> dict[tuple[int, int], list[int]]:
    """The triangles along each edge, by the edge's two corners in ascending order."""
    sharing: dict[tuple[int, int], list[int]] = {}
    for k, t in enumerate(triangles):
        for a, b in edges(t):
            sharing.setdefault((a, b) if a < b else (b, a), []).append(k)
    return sharing


def planar_faces(points: Sequence[Point], triangles: Sequence[Triangle],
                 sharing: dict[tuple[int, int], list[int]]) -> list[list[int]]:
    """The triangles, those that lie in one plane and share edges merged into
    the polygon they tile, wound as they were.

    A group whose outline is not one simple loop (a face with a hole, two
    faces touching at a corner) stays as its triangles.
    """
    planes = [plane(points, t) for t in triangles]
    group = list(range(len(triangles)))

    def root(k: int) -> int:
        while group[k] != k:
            group[k] = group[group[k]]
            k = group[k]
        return k

    for pair in sharing.values():
        for other in pair[1:]:
            if coplanar(planes[pair[0]], planes[other]):
                group[root(other)] = root(pair[0])

    members: dict[int, list[int]] = {}
    for k in range(len(triangles)):
        members.setdefault(root(k), []).append(k)
    faces: list[list[int]] = []
    for ks in members.values():
        loop = outline([triangles[k] for k in ks]) if len(ks) > 1 else None
        faces.extend([loop] if loop else [list(triangles[k]) for k in ks])
    return faces


def edges(t: Triangle) -> list[tuple[int, int]]:
    return [(t[0], t[1]), (t[1], t[2]), (t[2], t[0])]


def plane(points: Sequence[Point], t: Triangle) -> tuple[float, float, float, float] | None:
    """Unit normal and offset of a triangle's plane; None for a triangle without area."""
    (ax, ay, az), (bx, by, bz), (cx, cy, cz) = (points[i] for i in t)
    ux, uy, uz, vx, vy, vz = bx - ax, by - ay, bz - az, cx - ax, cy - ay, cz - az
    nx, ny, nz = uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx
    length = math.sqrt(nx * nx + ny * ny + nz * nz)
    if length == 0.0 or not math.isfinite(length):
        return None
    nx, ny, nz = nx / length, ny / length, nz / length
    return nx, ny, nz, nx * ax + ny * ay + nz * az


def coplanar(p: tuple[float, float, float, float] | None, q: tuple[float, float, float, float] | None) -> bool:
    if p is None or q is None:
        return False
    return p[0] * q[0] + p[1] * q[1] + p[2] * q[2] > NORMAL_DOT and abs(p[3] - q[3]) < PLANE_OFFSET


def outline(triangles: list[Triangle]) -> list[int] | None:
    """The one loop of edges that only one of the triangles runs along, or None."""
    directed = [e for t in triangles for e in edges(t)]
    inner = set(directed)
    if len(inner) != len(directed):  # an edge run twice the same way: not a surface
        return None
    following: dict[int, int] = {}
    for a, b in directed:
        if (b, a) not in inner:
            if a in following:  # the outline touches itself
                return None
            following[a] = b
    if not following:
        return None
    start = next(iter(following))
    loop, at = [start], following[start]
    while at != start and len(loop) <= len(following):
        loop.append(at)
        at = following.get(at, start)
    return loop if len(loop) == len(following) and len(loop) >= 3 else None
