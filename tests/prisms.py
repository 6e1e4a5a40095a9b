"""Building footprint meshes for the join and reading its prisms back."""

from velmarin import Mesh, Vector3D


def footprint_mesh(ring, z=0.0, extra_faces=()):
    """A mesh whose first face is the ring of (x, y) corners, at height z."""
    vertices = [Vector3D(x, y, z) for x, y in ring]
    return Mesh(vertices, [list(range(len(ring)))] + [list(f) for f in extra_faces])


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def ring_area(ring):
    """Shoelace area of an open ring of corners, positive counter-clockwise."""
    twice = 0.0
    for (x0, y0), (x1, y1) in zip(ring, ring[1:] + ring[:1]):
        twice += x0 * y1 - x1 * y0
    return twice / 2.0


def prism_ring(mesh, z_base, height):
    """Checks the prism layout (bottom corners, top corners, caps, one quad
    per edge) and returns the ring of its corners."""
    vertices = [(v.x, v.y, v.z) for v in mesh.vertices]
    m = len(vertices) // 2
    assert m >= 3 and len(vertices) == 2 * m
    bottom, top = vertices[:m], vertices[m:]
    assert all(z == z_base for _, _, z in bottom)
    assert all(z == z_base + height for _, _, z in top)
    assert [(x, y) for x, y, _ in bottom] == [(x, y) for x, y, _ in top]
    expected = [list(range(m - 1, -1, -1)), list(range(m, 2 * m))]
    expected += [[k, (k + 1) % m, (k + 1) % m + m, k + m] for k in range(m)]
    assert mesh.faces == expected
    return [(x, y) for x, y, _ in bottom]


def signed_volume(mesh):
    """Volume by the divergence theorem: positive when every face of a
    closed mesh faces outward."""
    p = [(v.x, v.y, v.z) for v in mesh.vertices]
    total = 0.0
    for face in mesh.faces:
        a = p[face[0]]
        for i in range(1, len(face) - 1):
            b, c = p[face[i]], p[face[i + 1]]
            total += (
                a[0] * (b[1] * c[2] - b[2] * c[1])
                - a[1] * (b[0] * c[2] - b[2] * c[0])
                + a[2] * (b[0] * c[1] - b[1] * c[0])
            )
    return total / 6.0


def consistently_oriented(mesh):
    """Every directed edge appears once and is met once the other way round:
    the faces agree on their facing and close the surface."""
    edges = [(f[i], f[(i + 1) % len(f)]) for f in mesh.faces for i in range(len(f))]
    return len(set(edges)) == len(edges) and set(edges) == {(b, a) for a, b in edges}
