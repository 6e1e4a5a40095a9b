"""The synthetic building generator of bench/: the shape the benchmarks and
the comparison with the reference build rely on."""

from collections import Counter

import pytest

from support.building import DOOR_HEIGHT, STOREY_HEIGHT, generate_building


def box_of(mesh):
    vertices, _ = mesh
    xs, ys, zs = zip(*vertices)
    return (min(xs), max(xs)), (min(ys), max(ys)), (min(zs), max(zs))


def newell(vertices, face):
    n = [0.0, 0.0, 0.0]
    for k, a in enumerate(face):
        p, q = vertices[a], vertices[face[(k + 1) % len(face)]]
        n[0] += (p[1] - q[1]) * (p[2] + q[2])
        n[1] += (p[2] - q[2]) * (p[0] + q[0])
        n[2] += (p[0] - q[0]) * (p[1] + q[1])
    return n


@pytest.mark.parametrize("rooms", [0, 1, 7, 250, 1000, 1234])
def test_gives_exactly_the_rooms_asked_for(rooms):
    assert generate_building(rooms, seed=3).rooms == rooms


def test_is_deterministic_from_the_seed():
    a, b, c = (generate_building(300, seed=s) for s in (5, 5, 6))
    assert a == b
    assert a.meshes != c.meshes


def test_rooms_are_closed_boxes_with_outward_faces():
    meshes = generate_building(200, seed=1).meshes
    assert len(meshes) == 200
    for mesh in meshes:
        vertices, faces = mesh
        (x0, x1), (y0, y1), (z0, z1) = box_of(mesh)
        centre = ((x0 + x1) / 2, (y0 + y1) / 2, (z0 + z1) / 2)
        assert len(faces) == 6 and all(len(f) == 4 for f in faces)
        # Closed and consistently wound: every directed edge once, its reverse once.
        edges = Counter((f[k], f[(k + 1) % 4]) for f in faces for k in range(4))
        assert all(n == 1 and edges[(b, a)] == 1 for (a, b), n in edges.items())
        for face in faces:
            normal = newell(vertices, face)
            p = vertices[face[0]]
            assert sum(n * (p[i] - centre[i]) for i, n in enumerate(normal)) > 0


def test_rooms_do_not_overlap_and_walls_touch_several_neighbours():
    building = generate_building(400, seed=2)
    boxes = [box_of(m) for m in building.meshes]
    for i, a in enumerate(boxes):
        for b in boxes[i + 1 :]:
            assert any(a[k][1] <= b[k][0] or b[k][1] <= a[k][0] for k in range(3))
    # Across a row boundary, some room faces more than one room.
    facing = Counter()
    for a in boxes:
        for b in boxes:
            if a[2] == b[2] and a[1][1] == b[1][0] and min(a[0][1], b[0][1]) > max(a[0][0], b[0][0]):
                facing[a] += 1
    assert max(facing.values()) >= 2


def test_doors_lie_in_walls_shared_by_two_rooms_and_windows_in_outer_walls():
    building = generate_building(300, seed=4, door_ratio=1.0, window_ratio=1.0)
    boxes = [box_of(m) for m in building.meshes]
    doors = windows = 0
    for aperture in building.apertures:
        vertices, faces = aperture
        assert faces == [[0, 1, 2, 3]]
        span = box_of(aperture)
        axis = next(k for k in range(2) if span[k][0] == span[k][1])
        plane = span[axis][0]

        def holds(box, side):
            return box[axis][side] == plane and all(
                box[k][0] <= span[k][0] and span[k][1] <= box[k][1] for k in range(3) if k != axis
            )

        below = sum(holds(b, 1) for b in boxes)
        above = sum(holds(b, 0) for b in boxes)
        assert (below, above) in ((1, 1), (1, 0), (0, 1))
        if below and above:
            doors += 1
            assert span[2][1] - span[2][0] == DOOR_HEIGHT and span[2][0] % STOREY_HEIGHT == 0
        else:
            windows += 1
    assert (doors, windows) == (building.doors, building.windows)
    assert doors > building.rooms  # a door in every inner wall: about two per room


def test_columns_stand_inside_exactly_one_room():
    building = generate_building(300, seed=5, column_ratio=1.0)
    boxes = [box_of(m) for m in building.meshes]
    assert len(building.wires) == 300
    for start, end in building.wires:
        mid = [(s + e) / 2 for s, e in zip(start, end)]
        inside = [b for b in boxes if all(b[k][0] < mid[k] < b[k][1] for k in range(3))]
        assert len(inside) == 1


def test_velmarin_registry_holds_the_building():
    building = generate_building(50, seed=6)
    registry = building.registry()
    assert len(registry.meshes) == 50
    assert len(registry.wires) == len(building.wires)
    assert len(registry.apertures) == len(building.apertures)
    stored = registry.meshes[17]
    assert [(v.x, v.y, v.z) for v in stored.vertices] == building.meshes[17][0]
    assert stored.faces == building.meshes[17][1]


def test_walls_shrink_the_rooms_and_openings_span_them():
    plain = generate_building(300, seed=9, door_ratio=1.0, window_ratio=1.0, column_ratio=1.0)
    walled = generate_building(300, seed=9, door_ratio=1.0, window_ratio=1.0, column_ratio=1.0, wall_thickness=0.2)
    assert (walled.doors, walled.windows, len(walled.wires)) == (plain.doors, plain.windows, len(plain.wires))
    for a, b in zip(plain.meshes, walled.meshes):
        assert all(w == pytest.approx((lo + 0.1, hi - 0.1)) for (lo, hi), w in zip(box_of(a), box_of(b)))
    surfaces = {(k, c) for m in walled.meshes for k, span in enumerate(box_of(m)) for c in span}
    for flat, solid in zip(plain.apertures, walled.apertures):
        span, box = box_of(flat), box_of(solid)
        axis = next(k for k in range(2) if span[k][0] == span[k][1])
        assert box[axis] == pytest.approx((span[axis][0] - 0.1, span[axis][0] + 0.1))
        assert box[1 - axis] == span[1 - axis] and box[2][1] - box[2][0] == pytest.approx(span[2][1] - span[2][0])
        # A door's faces lie in the surfaces of the rooms on either side.
        if span[2][0] % STOREY_HEIGHT == 0:
            assert all((axis, c) in surfaces for c in box[axis]) and box[2][0] == span[2][0] + 0.1
