"""What a model's summary tells a person: the report of one model, a line of
a portfolio and its table's row."""

from __future__ import annotations

import collections
import math
from dataclasses import dataclass
from typing import Any

from velmarin_ifc._passages import PASSAGES
from velmarin_ifc._portfolio import Summary, farthest_room

# The columns of a portfolio's table, one row per model.
COLUMNS = (
    "model",
    "path",
    "status",
    "error",
    "seconds",
    "storeys",
    "rooms",
    "contacts",
    *PASSAGES,
    "exits",
    "rooms_reaching_exit",
    "farthest_room",
    "farthest_metres",
    "skipped",
    "skipped_why",
)

# What each passage is, for people.
PASSAGE_WORDS = {
    "door": "door",
    "opening": "opening",
    "stair": "stair",
    "open": "open (nothing between)",
    "none": "wall or slab",
}


@dataclass(frozen=True)
class Storey:
    name: str
    elevation: float
    rooms: int


@dataclass(frozen=True)
class Facts:
    """The figures a report gives, counted from a summary."""

    rooms: int
    storeys: list[Storey]
    passages: collections.Counter[str]
    exits: int
    reaching: int
    farthest: tuple[dict[str, Any], float] | None  # the room's record and its metres to an exit
    skipped: dict[str, collections.Counter[str]]  # IFC classes by reason
    seconds: float

    @classmethod
    def of(cls, summary: Summary) -> Facts:
        spaces, egress = summary["spaces"], summary["egress"]
        levels = collections.Counter((s["storey"], s["elevation"]) for s in spaces)
        storeys = [
            Storey(name, elevation, count)
            for (name, elevation), count in sorted(
                levels.items(), key=lambda level: (math.isnan(level[0][1]), level[0][1], level[0][0])
            )
        ]
        passages = collections.Counter(summary["graph"]["edges"]["attributes"].get("passage", []))
        far = farthest_room(egress)
        farthest = (next(s for s in spaces if s["global_id"] == far), egress[far]) if far is not None else None
        skipped: dict[str, collections.Counter[str]] = {}
        for element in summary["skipped"]:
            skipped.setdefault(element["reason"], collections.Counter())[element["ifc_class"]] += 1
        return cls(
            len(spaces),
            storeys,
            passages,
            len(summary["exits"]),
            sum(math.isfinite(metres) for metres in egress.values()),
            farthest,
            skipped,
            summary["seconds"],
        )


def report(name: str, summary: Summary) -> str:
    """The report of one model, as the command line prints it."""
    facts = Facts.of(summary)
    lines = [f"{name}: {plural(facts.rooms, 'room')} on {plural(len(facts.storeys), 'storey')}"]
    width = max((len(storey_name(s)) for s in facts.storeys), default=0)
    for storey in facts.storeys:
        lines.append(
            f"  {storey_name(storey):<{width}}  {elevation(storey.elevation):>9}  {plural(storey.rooms, 'room')}"
        )
    contacts = sum(facts.passages.values())
    lines.append(f"{plural(contacts, 'contact')} between rooms, by passage:")
    for passage in PASSAGES:
        lines.append(f"  {facts.passages[passage]:>6}  {PASSAGE_WORDS[passage]}")
    lines.append(
        f"{plural(facts.exits, 'exit')} (doors and doorways to the outside); "
        f"{facts.reaching} of {plural(facts.rooms, 'room')} reach one"
    )
    if facts.farthest is not None:
        room, metres = facts.farthest
        lines.append(f"farthest from an exit: {room_name(room)}, {metres:.1f} m walked")
    lines.append(skipped_text(facts.skipped, summary["skipped"]))
    lines.append(f"read, built and walked in {facts.seconds:.2f} s")
    return "\n".join(lines)


def line(name: str, outcome: Summary | Exception) -> str:
    """One line for a model of a portfolio: its figures, or why it failed."""
    if isinstance(outcome, Exception):
        return f"{name}: FAILED: {failure(outcome)}"
    facts = Facts.of(outcome)
    passages = ", ".join(f"{facts.passages[p]} {p}" for p in PASSAGES if facts.passages[p] and p != "none")
    farthest = f", farthest {facts.farthest[1]:.1f} m" if facts.farthest is not None else ""
    skipped = f", {len(outcome['skipped'])} skipped" if outcome["skipped"] else ""
    return (
        f"{name}: {plural(facts.rooms, 'room')}, {plural(sum(facts.passages.values()), 'contact')}"
        f"{' (' + passages + ')' if passages else ''}, {plural(facts.exits, 'exit')}{farthest}{skipped}, "
        f"{facts.seconds:.2f} s"
    )


def row(name: str, path: str, outcome: Summary | Exception) -> dict[str, Any]:
    """A model's row of the portfolio's table (`COLUMNS`)."""
    if isinstance(outcome, Exception):
        return {"model": name, "path": path, "status": "failed", "error": failure(outcome)}
    facts = Facts.of(outcome)
    room, metres = facts.farthest if facts.farthest is not None else ({}, None)
    return {
        "model": name,
        "path": path,
        "status": "ok",
        "error": "",
        "seconds": f"{facts.seconds:.3f}",
        "storeys": len(facts.storeys),
        "rooms": facts.rooms,
        "contacts": sum(facts.passages.values()),
        **{passage: facts.passages[passage] for passage in PASSAGES},
        "exits": facts.exits,
        "rooms_reaching_exit": facts.reaching,
        "farthest_room": room_name(room) if room else "",
        "farthest_metres": f"{metres:.2f}" if metres is not None else "",
        "skipped": len(outcome["skipped"]),
        "skipped_why": "; ".join(reasons(facts.skipped)),
    }


def failure(error: Exception) -> str:
    text = str(error)
    return f"{type(error).__name__}: {text}" if text else type(error).__name__


def skipped_text(skipped: dict[str, collections.Counter[str]], elements: list[dict[str, Any]]) -> str:
    if not elements:
        return "nothing left out"
    return f"{plural(len(elements), 'element')} left out: " + "; ".join(reasons(skipped))


def reasons(skipped: dict[str, collections.Counter[str]]) -> list[str]:
    """ "no geometry: 2 IfcSpace, 1 IfcColumn" for each reason."""
    return [
        f"{reason}: " + ", ".join(f"{n} {ifc_class}" for ifc_class, n in classes.most_common())
        for reason, classes in skipped.items()
    ]


def storey_name(storey: Storey) -> str:
    if math.isnan(storey.elevation) and not storey.name:
        return "(outside any storey)"
    return storey.name or "(unnamed storey)"


def elevation(metres: float) -> str:
    return "" if math.isnan(metres) else f"{metres:+.2f} m"


def room_name(room: dict[str, Any]) -> str:
    """The room's name and long name, with its storey: "5.3.3 BAD / WC-5-1 (2.OG)"."""
    name = " ".join(part for part in (room["name"], room["long_name"]) if part) or room["global_id"]
    return f"{name} ({room['storey']})" if room["storey"] else name


def plural(count: int, noun: str) -> str:
    return f"{count:,} {noun}{'' if count == 1 else 's'}"
