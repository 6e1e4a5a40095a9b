"""Walking a building's graph: the passable edges, and the distance walked
from every room to its nearest exit, found in one search from all exits."""

from __future__ import annotations

import heapq
import math
from collections.abc import Sequence

from velmarin import GraphEdge, SpatialGraph, Vector3D
from velmarin_ifc._geometry import Point
from velmarin_ifc._passages import NONE, Exit


def passable(graph: SpatialGraph) -> SpatialGraph:
    """The graph with the edges a walker can pass: every passage but "none"."""
    return SpatialGraph(graph.nodes, [e for e in graph.edges if e.get_attribute("passage") != NONE], [])


def step_length(edge: GraphEdge, centres: Sequence[Point]) -> float:
    """The distance walked across an edge: from one room's centroid to the
    contact's centroid and on to the other room's."""
    c = edge.contact_centroid
    through = (c.x, c.y, c.z)
    return math.dist(centres[edge.node_a], through) + math.dist(through, centres[edge.node_b])


class WayOut:
    """The nearest exit of every room by distance walked over a graph's
    passable edges (`passable`): from the room's centroid through the contact
    centroid of each passage to the next room's, and from the last room's
    centroid to the exit's centre. `distance[i]` is room i's (math.inf where no
    exit can be reached), `toward[i]` the next room on its way out (None in the
    exit's own room)."""

    def __init__(self, walkable: SpatialGraph, exits: Sequence[Exit]) -> None:
        centres = [vector(node.centroid) for node in walkable.nodes]
        neighbours: list[list[tuple[int, float]]] = [[] for _ in centres]
        for edge in walkable.edges:
            length = step_length(edge, centres)
            neighbours[edge.node_a].append((edge.node_b, length))
            neighbours[edge.node_b].append((edge.node_a, length))
        self.distance = [math.inf] * len(centres)
        self.toward: list[int | None] = [None] * len(centres)
        queue: list[tuple[float, int]] = []
        for way_out in exits:
            length = math.dist(centres[way_out.room], way_out.centre)
            if length < self.distance[way_out.room]:
                self.distance[way_out.room] = length
                heapq.heappush(queue, (length, way_out.room))
        while queue:
            walked, room = heapq.heappop(queue)
            if walked > self.distance[room]:
                continue
            for other, length in neighbours[room]:
                if walked + length < self.distance[other]:
                    self.distance[other] = walked + length
                    self.toward[other] = room
                    heapq.heappush(queue, (walked + length, other))

    def route(self, start: int) -> list[int]:
        """The rooms from `start` to the room of its nearest exit; [] when none can be reached."""
        if math.isinf(self.distance[start]):
            return []
        rooms = [start]
        while (following := self.toward[rooms[-1]]) is not None:
            rooms.append(following)
        return rooms


def vector(v: Vector3D) -> Point:
    return v.x, v.y, v.z
