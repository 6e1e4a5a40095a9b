"""Literal Python versions of welding (Mesh.clean) and plane slicing
(Mesh.slice_by_plane): the tests compare the native operations with them,
and bench/bench_mesh.py uses them as its pure-Python baselines. Both take
and return plain tuples and lists."""

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
