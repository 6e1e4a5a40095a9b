"""The elements the geometry engine must not be given, found before it runs.

The engine follows an element's placement and shape from entity to entity
and trusts what it finds. Mutating the shared models and generated ones
showed what takes it down:
- a loop of references: a placement relative to itself or in a ring, a
  representation map whose shape maps it, a composite curve one of whose
  segments is the curve, a trimmed curve, profile or boolean result that is
  its own basis, parent or operand. The engine recurses until its stack runs
  out (a segmentation fault), or for ever;
- a reference to an entity of another kind where the engine takes what it
  finds: a mapped item's source, a face set's points, a trimmed curve's
  basis, a revolution's axis, a clipping's operand, a sweep's directrix (a
  segmentation fault);
- numbers no building holds: a circle is cut into segments of a bounded
  deviation, so a radius of 10^6 m takes seconds and 10^8 m minutes, and so
  does a revolution about an axis far away or through 10^10 radians; a
  profile point at 10^29 m, or a direction of ratios 10^20, sends the exact
  arithmetic of the engine's kernel past any bound.
Each element that meets one of these is left out with the reason. Placement
chains are walked once per link, the references that took the engine down
are looked at where they are, and numbers are looked for in the file's
bytes, so the checks cost a few percent of a read. What they do not foresee,
a read in a child process bounds (`read_building`'s timeout).
"""

from __future__ import annotations

import math
import mmap
import re
from collections.abc import Iterable
from functools import cache
from typing import TYPE_CHECKING, Any, Union

import ifcopenshell
import ifcopenshell.ifcopenshell_wrapper
import numpy as np

from velmarin_ifc._building import Reason

if TYPE_CHECKING:
    from ifcopenshell import entity_instance

# The longest length a shape may hold, in metres: several times the largest
# buildings' length, so that no real model comes near it. The engine cuts a
# circle of that radius into segments in half a second, but a pipe swept
# along a path with a radius of one kilometre already takes it two: the bound
# rules out the absurd, not every shape that is slow to make.
LENGTH_BOUND = 1e4

# How far a placement may move what it places, in metres. Models placed on a
# national or UTM grid carry coordinates of thousands of kilometres (tens of
# thousands where a zone number prefixes the easting); a move costs the
# engine nothing, so only what no grid on Earth reaches is absurd.
PLACEMENT_BOUND = 1e8

# The largest other number a shape may hold, as written: direction ratios,
# angles, scales. Exporters write directions of unit length and angles of a
# turn or so; the engine stalls on a direction of ratios 10^20 and takes
# seconds for a revolution through 10^9 radians.
NUMBER_BOUND = 1e6

# The text is searched for long numbers in blocks of this many bytes, which
# fit the cache of one core with the masks made from them.
SCAN_BLOCK = 1 << 17

# The types of the numbers that are lengths in the model's unit: a parameter
# is one along a line (and a fraction of a turn along a circle).
LENGTHS = frozenset(
    {"IfcLengthMeasure", "IfcPositiveLengthMeasure", "IfcNonNegativeLengthMeasure", "IfcParameterValue"}
)

Fault = tuple[Reason, str]

# A model's STEP text: its file mapped into memory, or bytes.
Text = Union[bytes, mmap.mmap]

# The engine's entities, as isinstance takes them.
ENTITY = ifcopenshell.entity_instance


def screened(model: ifcopenshell.file, products: list[entity_instance], text: Text, metres: float) -> dict[int, Fault]:
    """The products to leave out, by step id, each with the first fault found in it.

    `text` is the model's STEP text; `metres` the length of its length unit."""
    faults = reference_faults(model, products)
    for key, fault in number_faults(model, products, text, metres).items():
        faults.setdefault(key, fault)
    return faults


def describe(entity: Any) -> str:
    return f"#{entity.id()}={entity.is_a()}" if isinstance(entity, ENTITY) else repr(entity)


def of_kind(value: Any, kind: str, usual: frozenset[str] = frozenset()) -> bool:
    """Whether the value is an entity of the kind; `usual`: names of common
    subtypes, recognised without asking the schema."""
    return isinstance(value, ENTITY) and (value.is_a() in usual or value.is_a(kind))


# References.

OBJECT_PLACEMENT = 5  # the position of an IfcProduct's ObjectPlacement
RELATIVE_TO = 0  # of an IfcLocalPlacement's PlacementRelTo
RELATING_ELEMENT, RELATED_OPENING = 4, 5  # of an IfcRelVoidsElement's two ends
LOCAL_PLACEMENTS = frozenset({"IfcLocalPlacement"})


# The references the engine follows as it finds them, each by the type that
# holds it and the attribute's name. Mutated models that looped through these,
# or put an entity of another kind than the schema's in them, took the engine
# down: a segmentation fault, or a stall for a boolean result that is its own
# first operand. The models hold thousands of points, loops, faces and
# placements, whose references the engine checks; these are rarer.
FOLLOWED = (
    ("IfcMappedItem", "MappingSource"),
    ("IfcRepresentationMap", "MappedRepresentation"),
    ("IfcTessellatedFaceSet", "Coordinates"),
    ("IfcCsgSolid", "TreeRootExpression"),
    ("IfcBooleanResult", "FirstOperand"),
    ("IfcBooleanResult", "SecondOperand"),
    ("IfcRevolvedAreaSolid", "Axis"),
    ("IfcSurfaceCurveSweptAreaSolid", "Directrix"),
    ("IfcDerivedProfileDef", "ParentProfile"),
    ("IfcCompositeProfileDef", "Profiles"),
    ("IfcTrimmedCurve", "BasisCurve"),
    ("IfcCompositeCurveSegment", "ParentCurve"),
)

# What closes a loop through the references above: a representation's items
# (a map's shape holding a mapped item of the map) and a composite curve's
# segments. Looked into only where a followed reference leads, as the models
# hold thousands of both.
CONTAINERS = (("IfcRepresentation", "Items"), ("IfcCompositeCurve", "Segments"))


def reference_faults(model: ifcopenshell.file, products: list[entity_instance]) -> dict[int, Fault]:
    """The products whose placement or shape, or an opening's in them, the engine cannot follow.

    Placement chains are followed from each product, each link once. The
    references in shapes that took the engine down are looked at wherever
    they are, and the products that use a faulty one found from it."""
    placements = Placements()
    faults = {}
    for product in products:
        fault = placements.fault(product.get_argument(OBJECT_PLACEMENT))
        if fault is not None:
            faults[product.id()] = fault
    wanted = {product.id() for product in products}
    for voids in model.by_type("IfcRelVoidsElement"):
        host, opening = voids.get_argument(RELATING_ELEMENT), voids.get_argument(RELATED_OPENING)
        if of_kind(host, "IfcProduct") and host.id() in wanted and host.id() not in faults:
            fault = placements.fault(opening.get_argument(OBJECT_PLACEMENT)) if of_kind(opening, "IfcProduct") else None
            if fault is not None:
                faults[host.id()] = (fault[0], f"an opening in it, {describe(opening)}: {fault[1]}")
    for entity, fault in shape_faults(model):
        for key in users(model, entity, wanted):
            faults.setdefault(key, fault)
    return faults


class Placements:
    """The faults of placement chains, each link looked at once however many
    elements share it (None where there is none)."""

    def __init__(self) -> None:
        self.known: dict[int, Fault | None] = {}

    def fault(self, placement: Any) -> Fault | None:
        chain: dict[int, entity_instance] = {}
        fault: Fault | None = None
        at = placement
        while at is not None:
            if not of_kind(at, "IfcObjectPlacement", LOCAL_PLACEMENTS):
                fault = ("wrong reference", f"its placement leads to {describe(at)}, which is no placement")
                break
            key = at.id()
            if key in self.known:
                fault = self.known[key]
                break
            if key in chain:
                ring = list(chain.values())[list(chain).index(key) :]
                fault = ("reference cycle", "its placement loops: " + loop(ring))
                break
            chain[key] = at
            # A grid placement ends the chain, in the schemas before IFC4X3.
            at = at.get_argument(RELATIVE_TO) if at.is_a() in LOCAL_PLACEMENTS else getattr(at, "PlacementRelTo", None)
        for key in chain:
            self.known[key] = fault
        return fault


def shape_faults(model: ifcopenshell.file) -> Iterable[tuple[entity_instance, Fault]]:
    """The entities in shapes whose followed references lead to another kind
    than the schema's, and one entity of each loop of them, each with its fault."""
    entities: dict[int, entity_instance] = {}
    leads: dict[int, list[int]] = {}  # where each entity's references lead, as far as a loop can go
    containers = []
    for holder_kind, name in FOLLOWED:
        holders = instances(model, holder_kind)
        if not holders:
            continue
        # Subtypes keep the attributes they inherit where they were.
        position, kinds = attribute(f"{model.schema_identifier}.{holder_kind}", name)
        for holder in holders:
            value = holder.get_argument(position)
            for target in value if isinstance(value, tuple) else () if value is None else (value,):
                kind = target.is_a(True) if isinstance(target, ENTITY) else ""
                if not conforms(kind, kinds):
                    yield (
                        holder,
                        (
                            "wrong reference",
                            f"{describe(holder)} has {name} {describe(target)}, "
                            f"where the engine takes {' or '.join(kinds)}",
                        ),
                    )
                elif looping(kind):
                    entities[holder.id()] = holder
                    leads.setdefault(holder.id(), []).append(target.id())
                    if target.id() not in entities:
                        entities[target.id()] = target
                        containers.append(target)
    while containers:
        container = containers.pop()
        for kind, name in CONTAINERS:
            if container.id() not in leads and container.is_a(kind):
                inner = [
                    e
                    for e in referred(container.get_argument(attribute(container.is_a(True), name)[0]))
                    if isinstance(e, ENTITY) and looping(e.is_a(True))
                ]
                leads[container.id()] = [e.id() for e in inner]
                for e in inner:
                    if e.id() not in entities:
                        entities[e.id()] = e
                        containers.append(e)
    for ring in rings(leads):
        yield entities[ring[0]], ("reference cycle", "its shape loops: " + loop([entities[k] for k in ring]))


def referred(value: Any) -> list[Any]:
    """The values an attribute refers to: the one, or those of a list; none if unset."""
    if value is None:
        return []
    return list(value) if isinstance(value, (tuple, list)) else [value]


def declaration(qualified_type: str) -> Any:
    schema, name = qualified_type.split(".")
    return ifcopenshell.ifcopenshell_wrapper.schema_by_name(schema).declaration_by_name(name)


@cache
def attribute(qualified_type: str, name: str) -> tuple[int, tuple[str, ...]]:
    """The position of an entity type's attribute (read by position, several
    times faster than by name), and the entity types it may refer to."""
    attributes = declaration(qualified_type).all_attributes()
    position = next(k for k, a in enumerate(attributes) if a.name() == name)
    return position, tuple(sorted(entity_kinds(attributes[position].type_of_attribute())))


def entity_kinds(kind: Any) -> set[str]:
    """The entity types a value of a type (an attribute's, or a declared one) may be."""
    if hasattr(kind, "as_aggregation_type"):  # an attribute's type
        if kind.as_aggregation_type() is not None:
            return entity_kinds(kind.as_aggregation_type().type_of_element())
        return entity_kinds(kind.as_named_type().declared_type()) if kind.as_named_type() is not None else set()
    if kind.as_entity() is not None:
        return {kind.name()}
    if kind.as_select_type() is not None:
        return set().union(*(entity_kinds(member) for member in kind.as_select_type().select_list()))
    return set()


@cache
def conforms(qualified_type: str, kinds: tuple[str, ...]) -> bool:
    """Whether an entity of the type ("" for a value that is no entity) is of one of the kinds, or of a subtype."""
    entity = declaration(qualified_type).as_entity() if qualified_type else None  # not a typed value either
    while entity is not None:
        if entity.name() in kinds:
            return True
        entity = entity.supertype()
    return False


@cache
def looping(qualified_type: str) -> bool:
    """Whether entities of the type hold followed references or contain entities that do."""
    return conforms(qualified_type, tuple(holder for holder, _ in FOLLOWED) + tuple(kind for kind, _ in CONTAINERS))


def instances(model: ifcopenshell.file, kind: str) -> list[entity_instance]:
    try:
        return list(model.by_type(kind))
    except RuntimeError:  # not in this schema
        return []


def loop(ring: list[entity_instance]) -> str:
    return " -> ".join(describe(entity) for entity in ring + ring[:1])


def rings(graph: dict[int, list[int]]) -> list[list[int]]:
    """One cycle through each back edge of a depth-first search of the graph, as the nodes along it."""
    state: dict[int, int] = {}  # 1 on the path being searched, 2 done
    found = []
    for root in graph:
        if root in state:
            continue
        path, branches = [root], [iter(graph[root])]
        state[root] = 1
        while path:
            following = next(branches[-1], None)
            if following is None:
                state[path.pop()] = 2
                branches.pop()
            elif state.get(following) == 1:
                found.append(path[path.index(following) :])
            elif following not in state:
                state[following] = 1
                path.append(following)
                branches.append(iter(graph.get(following, ())))
    return found


# Numbers.


def number_faults(
    model: ifcopenshell.file, products: list[entity_instance], text: Text, metres: float
) -> dict[int, Fault]:
    """The products whose placement or shape holds a number beyond the bounds."""
    if not metres > 0:  # a unit without length: every length is absurd, and none can be scaled
        metres = math.inf
    # Numbers past the bound in the model's unit have this many digits before the point, or an exponent.
    digits = min(len(str(int(min(LENGTH_BOUND / metres, NUMBER_BOUND)))), 30)
    wanted = {product.id() for product in products}
    faults: dict[int, Fault] = {}
    for key in records_with_long_numbers(text, digits):
        try:
            entity = model.by_id(key)
        except RuntimeError:  # a record the parser dropped
            continue
        detail = absurd_number(model, entity, metres)
        if detail is not None:
            for product in users(model, entity, wanted):
                faults.setdefault(product, ("absurd number", detail))
    return faults


def records_with_long_numbers(text: Text, digits: int) -> set[int]:
    """The ids of the records whose text holds a number of `digits` or more
    digits before its point, or one with a positive exponent (and some that
    only look so, in strings).

    Looked for in all bytes at once, a block at a time so that the passes
    over it stay in the processor's cache: about a millisecond a megabyte,
    where a pass over the parsed numbers would take ten times as long."""
    data = np.frombuffer(text, np.uint8)
    positions = [np.flatnonzero(found) + start + 1 for start, found in long_numbers(data, digits)]
    if not positions:
        return set()
    # A set, not numpy.unique, whose first call imports numpy.ma (15 ms).
    keys = (record_at(text, at) for at in set(np.concatenate(positions).tolist()))
    return {key for key in keys if key is not None}


def long_numbers(data: Any, digits: int, block: int = SCAN_BLOCK) -> Iterable[tuple[int, Any]]:
    """For each block of the text: where it starts, and a mask of the
    positions after its first that begin a long integer part or an exponent."""
    for start in range(0, len(data), block):
        part = data[start : start + block + digits + 1]
        if len(part) < block + digits + 1:  # the last block, padded with spaces
            part = np.concatenate((part, np.full(digits + 1, ord(" "), np.uint8)))
        n = len(part)
        digit = (part - ord("0")) < 10  # bytes below "0" wrap round to large numbers
        # A run of `digits` digits that starts a number: after no digit, point or "#".
        run = digit[1 : n - digits + 1].copy()
        for shift in range(1, digits):
            run &= digit[1 + shift : n - digits + 1 + shift]
        before = part[: n - digits]
        run &= ~digit[: n - digits] & (before != ord(".")) & (before != ord("#"))
        # An exponent: "E" or "e" after a digit or point, before a digit or "+".
        exponent = ((part[1:-1] | 0x20) == ord("e")) & (digit[:-2] | (part[:-2] == ord(".")))
        exponent &= digit[2:] | (part[2:] == ord("+"))
        limit = min(block, n - digits)
        yield start, run[:limit] | exponent[:limit]


RECORD = re.compile(rb"#(\d+)\s*=")


def record_at(text: Text, position: int) -> int | None:
    """The id of the record whose text holds the position (records begin a line), or None in the header."""
    start = position
    while True:
        start = text.rfind(b"\n#", 0, start)
        if start < 0:
            return None
        found = RECORD.match(text, start + 1)
        if found:
            return int(found.group(1))


def absurd_number(model: ifcopenshell.file, entity: entity_instance, metres: float) -> str | None:
    """What number in the entity is beyond its bound, or None."""
    for index, length in number_attributes(entity.is_a(True)):
        for value, is_length in numbers(entity[index], length):
            if is_length:
                bound = PLACEMENT_BOUND if locates_placements(model, entity) else LENGTH_BOUND
                if not abs(value) * metres <= bound:  # NaN too
                    size = f"{value:g} m" if metres == 1 else f"{value:g} ({value * metres:.3g} m)"
                    return f"{describe(entity)} has {entity.attribute_name(index)} {size}, beyond the {bound:g} m it may hold"
            elif not abs(value) <= NUMBER_BOUND:
                return f"{describe(entity)} has {entity.attribute_name(index)} {value:g}, beyond the {NUMBER_BOUND:g} it may hold"
    return None


@cache
def number_attributes(qualified_type: str) -> tuple[tuple[int, bool], ...]:
    """The positions of an entity type's attributes that can hold real
    numbers, alone, in lists or in selects, each with whether they are lengths."""
    schema, name = qualified_type.split(".")
    declaration: Any = ifcopenshell.ifcopenshell_wrapper.schema_by_name(schema).declaration_by_name(name)
    kinds = [a.type_of_attribute() for a in declaration.all_attributes()]
    return tuple((k, holds_lengths(kind)) for k, kind in enumerate(kinds) if holds_reals(kind))


def holds_reals(kind: Any) -> bool:
    """Whether values of a type (an attribute's, or a declared one) can be real numbers."""
    if hasattr(kind, "as_aggregation_type"):  # an attribute's type
        if kind.as_aggregation_type() is not None:
            return holds_reals(kind.as_aggregation_type().type_of_element())
        if kind.as_simple_type() is not None:
            return kind.as_simple_type().declared_type() in ("real", "number")
        return holds_reals(kind.as_named_type().declared_type())
    if kind.as_type_declaration() is not None:
        return holds_reals(kind.as_type_declaration().declared_type())
    if kind.as_select_type() is not None:
        return any(holds_reals(member) for member in kind.as_select_type().select_list())
    return False  # an entity or an enumeration


def holds_lengths(kind: Any) -> bool:
    aggregate = kind.as_aggregation_type()
    if aggregate is not None:
        return holds_lengths(aggregate.type_of_element())
    named = kind.as_named_type()
    return named is not None and named.declared_type().name() in LENGTHS


def numbers(value: Any, length: bool) -> Iterable[tuple[float, bool]]:
    """The real numbers in an attribute's value, each with whether it is a
    length; a value of a select says its type itself."""
    if isinstance(value, (tuple, list)):
        for inner in value:
            yield from numbers(inner, length)
    elif isinstance(value, ENTITY):
        if value.id() == 0:  # a typed value, not an entity
            yield from numbers(value.wrappedValue, value.is_a() in LENGTHS)
    elif isinstance(value, float):
        yield value, length


def locates_placements(model: ifcopenshell.file, entity: entity_instance) -> bool:
    """Whether the entity is a point that only moves what it places: the
    location of object placements or of a context's coordinates, or the
    origin of transformations. (A revolution's axis, or a circle's centre
    within a profile, shapes what it places, and is held to the length bound.)"""
    if not entity.is_a("IfcCartesianPoint"):
        return False
    users = model.get_inverse(entity)
    return bool(users) and all(
        user.is_a("IfcCartesianTransformationOperator")
        or (user.is_a("IfcAxis2Placement3D") or user.is_a("IfcAxis2Placement2D"))
        and moves(model, user)
        for user in users
    )


def moves(model: ifcopenshell.file, placement: entity_instance) -> bool:
    users = model.get_inverse(placement)
    return bool(users) and all(
        u.is_a("IfcLocalPlacement") or u.is_a("IfcGeometricRepresentationContext") for u in users
    )


def users(model: ifcopenshell.file, entity: entity_instance, wanted: set[int]) -> set[int]:
    """The products among `wanted` that refer to the entity through their
    placement or shape, directly or through other entities; a product also
    counts where an opening in it does, as the engine cuts it out of it."""
    found: set[int] = set()
    seen = {entity.id()}
    queue = [entity]
    while queue:
        for user in model.get_inverse(queue.pop()):
            if user.id() in seen:
                continue
            seen.add(user.id())
            if not user.is_a("IfcProduct"):
                queue.append(user)
                continue
            if user.id() in wanted:
                found.add(user.id())
            for voids in getattr(user, "VoidsElements", ()) or ():
                host = voids.RelatingBuildingElement
                if of_kind(host, "IfcProduct") and host.id() in wanted:
                    found.add(host.id())
    return found
