"""Floats compared exactly: by their bit patterns, so that -0.0 and NaN count."""

import struct


def bits(value):
    return struct.pack("<d", value)


def exact_points(points):
    return [tuple(bits(c) for c in p) for p in points]
