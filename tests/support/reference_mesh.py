"""Literal Python versions of welding (Mesh.clean), plane slicing
(Mesh.slice_by_plane), and the face work on solids (Mesh.merge_equal_vertices,
orient_outward and merge_coplanar_faces, as velmarin_ifc did it in Python):
the tests compare the native operations with them, and bench/bench_mesh.py
uses the first two as its pure-Python baselines. All take and return plain
tuples and lists."""

import math

I64_MIN, I64_MAX = -(2**63), 2**63 - 1


def cell_component(value, tolerance):
    q = value / tolerance
    if math.isnan(q):
        return 0
    if math.isinf(q):
        return I64_MAX if q > 0 else I64_MIN
    r = math.trunc(q)
    if abs(q - r) >= 0.5:  # q - trunc(q) is exact in binary floating point
        r += 1 if q > 0 else -1
    return max(I64_MIN, min(I64_MAX, r))


def reference_clean(points, faces, tolerance):
    cell_of = {}
    new_points = []
    new_index = []
    for p in points:
        key = tuple(cell_component(c, tolerance) for c in p)
        if key not in cell_of:
            cell_of[key] = len(new_points)
            new_points.append(p)
        new_index.append(cell_of[key])
    return new_points, rewrite_faces(faces, new_index)


def rewrite_faces(faces, new_index):
    """The face pass of welding, given each old vertex's welded index."""
    new_faces = []
    for face in faces:
        out = []
        for i in face:
            n = new_index[i]
            if not out or out[-1] != n:
                out.append(n)
        if len(out) < 3:
            continue
        if out[0] == out[-1]:
            if len(out) == 3:
                continue
            out.pop()
        new_faces.append(out)
    return new_faces


def reference_slice(points, faces, normal, origin):
    nx, ny, nz = normal
    length = math.sqrt((nx * nx + ny * ny) + nz * nz)
    n = (nx / length, ny / length, nz / length)
    d = [((p[0] - origin[0]) * n[0] + (p[1] - origin[1]) * n[1]) + (p[2] - origin[2]) * n[2] for p in points]
    return split_triangles(points, faces, d)


def split_triangles(points, faces, d):
    """The triangle pass of slicing, given each vertex's signed distance."""
    halves = {True: ([], [], {}), False: ([], [], {})}  # above / below: vertices, faces, reuse map

    def reuse(side, i):
        vertices, _, copy_of = halves[side]
        if i not in copy_of:
            copy_of[i] = len(vertices)
            vertices.append(points[i])
        return copy_of[i]

    def append(side, p):
        halves[side][0].append(p)
        return len(halves[side][0]) - 1

    def cut(lone, other):
        t = d[lone] / (d[lone] - d[other])
        return tuple((points[other][c] - points[lone][c]) * t + points[lone][c] for c in range(3))

    for face in faces:
        for i in range(1, len(face) - 1):
            s = [face[0], face[i], face[i + 1]]
            above = [d[v] >= 0 for v in s]
            if all(above) or not any(above):
                side = above[0]
                halves[side][1].append([reuse(side, v) for v in s])
                continue
            lone_above = above.count(True) == 1
            k = above.index(lone_above)
            lone, a, b = s[k], s[(k + 1) % 3], s[(k + 2) % 3]
            p1, p2 = cut(lone, a), cut(lone, b)
            first = append(lone_above, points[lone])
            append(lone_above, p1)
            append(lone_above, p2)
            halves[lone_above][1].append([first, first + 1, first + 2])
            other = not lone_above
            ma, mb = reuse(other, a), reuse(other, b)
            p = append(other, p1)
            append(other, p2)
            halves[other][1].extend([[p, ma, mb], [p, mb, p + 1]])
    return tuple((halves[side][0], halves[side][1]) for side in (True, False))


def reference_equal_vertices(points, faces):
    """Each point once, in the order of first appearance (as dict keys: -0.0
    is 0.0), and the faces renumbered onto them."""
    number = {}
    renumbered = [number.setdefault(tuple(p), len(number)) for p in points]
    return list(number), [[renumbered[k] for k in face] for face in faces]


# The tolerances of merge_coplanar_faces' defaults.
NORMAL_DOT = 1.0 - 1e-9
PLANE_OFFSET = 1e-6


def edge_sharing(triangles):
    """The triangles along each edge, by the edge's two corners in ascending order."""
    sharing = {}
    for k, t in enumerate(triangles):
        for a, b in edges(t):
            sharing.setdefault((a, b) if a < b else (b, a), []).append(k)
    return sharing


def edges(t):
    return [(t[0], t[1]), (t[1], t[2]), (t[2], t[0])]


def reference_orient(points, triangles, sharing):
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
        if six_volumes(points, [wound[k] for k in shell]) < 0:
            for k in shell:
                wound[k].reverse()
    return wound


def six_volumes(points, triangles):
    """Six times the signed volume the triangles enclose, taken from their first corner."""
    ox, oy, oz = points[triangles[0][0]]
    total = 0.0
    for t in triangles:
        (ax, ay, az), (bx, by, bz), (cx, cy, cz) = ((p[0] - ox, p[1] - oy, p[2] - oz) for p in (points[i] for i in t))
        total += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)
    return total


def reference_merge_coplanar(points, triangles, sharing):
    """The triangles, those that lie in one plane and share edges merged into
    the polygon they tile where its outline is one simple loop."""
    planes = [plane(points, t) for t in triangles]
    group = list(range(len(triangles)))

    def root(k):
        while group[k] != k:
            group[k] = group[group[k]]
            k = group[k]
        return k

    for pair in sharing.values():
        for other in pair[1:]:
            if coplanar(planes[pair[0]], planes[other]):
                group[root(other)] = root(pair[0])
    members = {}
    for k in range(len(triangles)):
        members.setdefault(root(k), []).append(k)
    faces = []
    for ks in members.values():
        loop = outline([triangles[k] for k in ks]) if len(ks) > 1 else None
        faces.extend([loop] if loop else [list(triangles[k]) for k in ks])
    return faces


def plane(points, t):
    """Unit normal and offset of a triangle's plane; None for a triangle without area."""
    (ax, ay, az), (bx, by, bz), (cx, cy, cz) = (points[i] for i in t)
    ux, uy, uz, vx, vy, vz = bx - ax, by - ay, bz - az, cx - ax, cy - ay, cz - az
    nx, ny, nz = uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx
    length = math.sqrt(nx * nx + ny * ny + nz * nz)
    if length == 0.0 or not math.isfinite(length):
        return None
    nx, ny, nz = nx / length, ny / length, nz / length
    return nx, ny, nz, nx * ax + ny * ay + nz * az


def coplanar(p, q):
    if p is None or q is None:
        return False
    return p[0] * q[0] + p[1] * q[1] + p[2] * q[2] > NORMAL_DOT and abs(p[3] - q[3]) < PLANE_OFFSET


def outline(triangles):
    """The one loop of edges that only one of the triangles runs along, or None."""
    directed = [e for t in triangles for e in edges(t)]
    inner = set(directed)
    if len(inner) != len(directed):  # an edge run twice the same way: not a surface
        return None
    following = {}
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


def reference_solid_faces(points, triangles):
    """Repeated points made one, then the triangles wound out and merged: (points, faces)."""
    points, triangles = reference_equal_vertices(points, triangles)
    sharing = edge_sharing(triangles)
    return points, reference_merge_coplanar(points, reference_orient(points, triangles, sharing), sharing)
