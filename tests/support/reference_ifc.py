"""A literal Python version of the IFC reader's rules (with forward
references resolved to a point's first definition): the tests compare the
native reader with it, and bench/bench_ifc.py uses it as its baseline."""

import re

from support.exact import exact_points

WHITE_SPACE = "\t\n\v\f\r \x85\xa0\u1680" + "".join(map(chr, range(0x2000, 0x200B))) + "\u2028\u2029\u202f\u205f\u3000"
NUMBER = re.compile(r"\+?[0-9]+")
DECIMAL = re.compile(r"[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?")
WORD = re.compile(r"[+-]?(inf|infinity|nan)", re.IGNORECASE | re.ASCII)


def trim(text):
    return text.strip(WHITE_SPACE)


def number(text):
    if not NUMBER.fullmatch(text) or int(text) >= 2**64:
        return None
    return int(text)


def coordinate(text):
    text = text.strip(" .;")
    return float(text) if DECIMAL.fullmatch(text) or WORD.fullmatch(text) else 0.0


def records(text):
    for line in text.split("\n"):
        line = trim(line)
        if not line.startswith("#") or "=" not in line:
            continue
        equals = line.index("=")
        if number(trim(line[1:equals])) is None:
            continue
        rest = line[equals + 1 :]
        kind = "point" if "IFCCARTESIANPOINT" in rest else "loop" if "IFCPOLYLOOP" in rest else None
        start, end = rest.find("(("), rest.find("))")
        if kind and start >= 0 and end >= start + 2:
            yield kind, number(trim(line[1:equals])), rest[start + 2 : end].split(",")


def reference_read(text):
    first_definition = {}  # the mend: points defined further down
    for kind, entity, pieces in records(text):
        if kind == "point" and len(pieces) >= 3:
            first_definition.setdefault(entity, tuple(map(coordinate, pieces[:3])))
    table, vertex_of, vertices, faces = {}, {}, [], []
    for kind, entity, pieces in records(text):
        if kind == "point":
            if len(pieces) >= 3:
                table[entity] = tuple(map(coordinate, pieces[:3]))
            continue
        face = []
        for piece in pieces:
            ref = number(trim(piece).lstrip("#"))
            position = table.get(ref, first_definition.get(ref))
            if position is None:
                continue
            if ref not in vertex_of:
                vertex_of[ref] = len(vertices)
                vertices.append(position)
            face.append(vertex_of[ref])
        if len(face) >= 3:
            faces.append(face)
    return exact_points(vertices), faces
