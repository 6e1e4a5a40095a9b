"""The cores this process may use, for the engine's threads and the command line's workers."""

from __future__ import annotations

import os


def usable_cores() -> int:
    """The cores this process may run on (its affinity, which a container's
    or a job's limits set), or the machine's where the system cannot say."""
    if hasattr(os, "sched_getaffinity"):
        return len(os.sched_getaffinity(0))
    return os.cpu_count() or 1
