"""Two rooms whose footprints overlap, cut into three disjoint prisms.

A clash between two room cells (a design error, or two phases of a
renovation) is resolved by `boolean_join_extruded`: the part both rooms
claim, the part only the first claims, and the part only the second claims,
each as a prism mesh between the same floor and ceiling.
"""

from shapes import box, plan_area
from velmarin import boolean_join_extruded

kitchen = box(0, 0, 0, 5, 4, 2.8)  # its first face is the floor: the footprint
dining = box(3, 1, 0, 8, 6, 2.8)

pieces = boolean_join_extruded(kitchen, dining, 0.0, 2.8)
names = ["shared by both", "kitchen only", "dining only"]
print(f"{len(pieces)} disjoint cells:")
for name, piece in zip(names, pieces):
    xs = [v.x for v in piece.vertices]
    ys = [v.y for v in piece.vertices]
    print(
        f"  {name:15s} {plan_area(piece):5.1f} m2 of plan, "
        f"x {min(xs):g}..{max(xs):g}, y {min(ys):g}..{max(ys):g}, "
        f"{len(piece.vertices)} vertices, {len(piece.faces)} faces"
    )
total = sum(plan_area(p) for p in pieces)
print(f"together {total:g} m2 = 20 + 25 - 6 (the overlap counted once)")
