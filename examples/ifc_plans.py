"""The plans of a building model with its graph, its exits and a way out,
and the room farthest from an exit (the README's picture of the terrace):

    .venv/bin/python examples/ifc_plans.py [model.ifc or model.ifc.gz] [picture.png] [room]

Without arguments it reads the terrace of five houses in ../shared/models and
draws docs/terrace.png with the way out of cellar room 3.0.1. Given a model,
it draws the way out of `room` (a name or global id), or else of the room
farthest from an exit.
"""

import collections
import gzip
import math
import shutil
import sys
import tempfile
from pathlib import Path

from velmarin_ifc import draw_plans, read_building

ROOT = Path(__file__).resolve().parent.parent
TERRACE = ROOT.parent / "shared" / "models" / "231110AC-11-Smiley-West-04-07-2007.ifc.gz"
model = Path(sys.argv[1]) if len(sys.argv) > 1 else TERRACE
picture = Path(sys.argv[2]) if len(sys.argv) > 2 else ROOT / "docs" / "terrace.png"
start = sys.argv[3] if len(sys.argv) > 3 else "3.0.1" if model == TERRACE else None

with tempfile.TemporaryDirectory() as folder:
    if model.suffix == ".gz":  # the engine reads plain files
        plain = Path(folder) / model.stem
        with gzip.open(model, "rb") as packed, open(plain, "wb") as unpacked:
            shutil.copyfileobj(packed, unpacked)
        model = plain
    building = read_building(model)

passages = collections.Counter(edge.get_attribute("passage") for edge in building.graph().edges)
print(f"{len(building.spaces)} rooms; passages: " + ", ".join(f"{n} {p}" for p, n in passages.most_common()))
egress = building.egress()
reachable = {room: d for room, d in egress.items() if math.isfinite(d)}
print(f"{len(building.exits)} exits; {len(reachable)} of {len(egress)} rooms reach one")
if reachable:
    farthest = max(reachable, key=lambda room: reachable[room])
    space = building.spaces[building.position(farthest)]
    print(f"farthest from an exit: {space.name} {space.long_name} ({space.storey}), {reachable[farthest]:.1f} m")
    start = start or farthest
route = building.route_out(start) if start else []
if start and route:
    space = building.spaces[building.position(start)]
    print(f"way out of {space.name} {space.long_name}, {egress[space.global_id]:.1f} m: {' -> '.join(route)}")
draw_plans(building, picture, route=route)
print(f"wrote {picture}")
