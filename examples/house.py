"""A two-storey house of box rooms, with doors, windows and columns.

Shared by the examples: `build_house()` returns the rooms, their names, the
door and window apertures and the columns, ready for a `SpatialRegistry`.

Plan of each storey (metres; x to the right, y up):

    y=8 +-----------+--------+
        |  living   | study  |
    y=4 +------+----+--------+
        | hall | kitchen     |
    y=0 +------+-------------+
        x=0   x=3  x=5      x=9    (the upper floor splits differently)
"""

from dataclasses import dataclass, field

from shapes import box
from velmarin import Mesh, Vector3D, Wire

STOREY_HEIGHT = 3.0
DOOR_WIDTH, DOOR_HEIGHT = 0.9, 2.1
WINDOW_WIDTH, WINDOW_SILL, WINDOW_HEIGHT = 1.2, 0.9, 1.2

# (name, x0, y0, x1, y1) per storey.
GROUND_FLOOR = [
    ("hall", 0, 0, 3, 4),
    ("kitchen", 3, 0, 9, 4),
    ("living", 0, 4, 5, 8),
    ("study", 5, 4, 9, 8),
]
UPPER_FLOOR = [
    ("landing", 0, 0, 3, 4),
    ("bath", 3, 0, 6, 4),
    ("bedroom", 6, 0, 9, 4),
    ("master bedroom", 0, 4, 9, 8),
]


@dataclass
class Room:
    name: str
    storey: int
    x0: float
    y0: float
    x1: float
    y1: float
    mesh: Mesh = field(init=False)

    def __post_init__(self) -> None:
        z0 = self.storey * STOREY_HEIGHT
        self.mesh = box(self.x0, self.y0, z0, self.x1, self.y1, z0 + STOREY_HEIGHT)


@dataclass
class Opening:
    kind: str  # "door" or "window"
    storey: int
    start: tuple[float, float]  # the opening's width in plan, from start to end
    end: tuple[float, float]
    mesh: Mesh


@dataclass
class House:
    rooms: list[Room]
    openings: list[Opening]
    columns: list[Wire]

    @property
    def meshes(self) -> list[Mesh]:
        return [room.mesh for room in self.rooms]

    @property
    def apertures(self) -> list[Mesh]:
        return [opening.mesh for opening in self.openings]


def opening(
    kind: str, storey: int, a: tuple[float, float], b: tuple[float, float], sill: float, height: float
) -> Opening:
    """A flat aperture: one quad in the wall plane between plan points a and b."""
    z0 = storey * STOREY_HEIGHT + sill
    corners = [
        Vector3D(a[0], a[1], z0),
        Vector3D(b[0], b[1], z0),
        Vector3D(b[0], b[1], z0 + height),
        Vector3D(a[0], a[1], z0 + height),
    ]
    return Opening(kind, storey, a, b, Mesh(corners, [[0, 1, 2, 3]]))


def door(storey: int, a: tuple[float, float], b: tuple[float, float]) -> Opening:
    return opening("door", storey, a, b, 0.0, DOOR_HEIGHT)


def window(storey: int, a: tuple[float, float], b: tuple[float, float]) -> Opening:
    return opening("window", storey, a, b, WINDOW_SILL, WINDOW_HEIGHT)


def build_house() -> House:
    rooms = [Room(name, 0, *plan) for name, *plan in GROUND_FLOOR]
    rooms += [Room(name, 1, *plan) for name, *plan in UPPER_FLOOR]
    openings = [
        # Ground floor: hall to kitchen and to living, living to study.
        door(0, (3, 1.5), (3, 1.5 + DOOR_WIDTH)),
        door(0, (1, 4), (1 + DOOR_WIDTH, 4)),
        door(0, (5, 6), (5, 6 + DOOR_WIDTH)),
        # Upper floor: landing to bath and to the master bedroom, bedroom to master bedroom.
        door(1, (3, 1.5), (3, 1.5 + DOOR_WIDTH)),
        door(1, (1, 4), (1 + DOOR_WIDTH, 4)),
        door(1, (7, 4), (7 + DOOR_WIDTH, 4)),
    ]
    for storey in (0, 1):
        openings += [window(storey, (x, 0), (x + WINDOW_WIDTH, 0)) for x in (4.5, 7)]
        openings += [window(storey, (x, 8), (x + WINDOW_WIDTH, 8)) for x in (1.5, 6.5)]
    # Two columns through both storeys, each standing in the rooms around it.
    columns = [
        Wire(Vector3D(x, y, z), Vector3D(x, y, z + STOREY_HEIGHT))
        for x, y in ((4.2, 0.9), (3.8, 7.1))
        for z in (0.0, STOREY_HEIGHT)
    ]
    return House(rooms, openings, columns)
