"""Reading a model in a child process, so that nothing in the model can end or stall the caller.

The child is a fresh interpreter (`sys.executable`), not a fork: the geometry
engine runs worker threads (TBB), numpy's import starts one of its own, and
a process forked while such threads hold locks can hang in the child. A
fresh interpreter costs its start, about 0.2 s with ifcopenshell imported,
and shares nothing. (multiprocessing's forkserver starts a child in 10 ms
once its server runs, but it runs the caller's main module again in every
child, a condition a library cannot impose on its callers.) It reads the
model as `read_building` does up to the registry, and sends the rooms and
apertures back as numpy arrays, the columns as coordinates and the records
as they are; the caller makes the meshes and the registry. Whatever becomes
of the child, the caller ends it before returning: on success, on timeout,
on an error and on KeyboardInterrupt. A child whose caller vanished ends
itself once the time is up.
"""

from __future__ import annotations

import math
import numbers
import os
import pickle
import signal
import subprocess
import sys
from typing import Any

from velmarin import Mesh, Vector3D, Wire
from velmarin_ifc._building import Parts

# The child: the caller's import path first, then the read. Only the standard
# library is imported before the path is set.
BOOTSTRAP = (
    "import pickle, sys\n"
    "request = pickle.load(sys.stdin.buffer)\n"
    "sys.path[:] = request['sys_path']\n"
    "from velmarin_ifc._isolated import serve\n"
    "serve(request['path'], request['seconds'])\n"
)

# A child outlives its time by this much (seconds) before it ends itself,
# should its caller be gone and not end it.
OUTLIVE = 5.0


def read_isolated(path: str, timeout: float | int) -> Parts:
    """The parts of the model at `path`, read in a child process that is
    ended after `timeout` seconds (its start included)."""
    seconds = checked_timeout(timeout)
    request = pickle.dumps({"sys_path": sys.path, "path": path, "seconds": seconds})  # the child shares our cwd
    if not sys.executable:
        raise RuntimeError("no Python interpreter to read the model in: sys.executable is empty")
    with subprocess.Popen([sys.executable, "-c", BOOTSTRAP], stdin=subprocess.PIPE, stdout=subprocess.PIPE) as child:
        try:
            answer, _ = child.communicate(request, timeout=seconds if math.isfinite(seconds) else None)
        except subprocess.TimeoutExpired:
            raise TimeoutError(f"reading {path!r} took longer than {seconds:g} s; the read was ended") from None
        finally:
            if child.poll() is None:
                child.kill()
                child.wait()
    if child.returncode < 0:
        raise RuntimeError(
            f"reading {path!r} failed: the child process reading it was killed by {signal_name(-child.returncode)}"
        )
    if child.returncode != 0 or not answer:
        raise RuntimeError(
            f"reading {path!r} failed: the child process reading it exited with status {child.returncode}"
        )
    outcome, value = pickle.loads(answer)
    if outcome == "error":
        raise value
    return received(value)


def signal_name(number: int) -> str:
    try:
        name = signal.Signals(number).name
    except ValueError:
        name = f"signal {number}"
    return f"{name} ({signal.strsignal(number) or 'unknown signal'})"


def checked_timeout(timeout: float | int) -> float:
    if not isinstance(timeout, numbers.Real) or isinstance(timeout, bool):
        raise TypeError(f"timeout must be a number of seconds or None, not {type(timeout).__name__}")
    seconds = float(timeout)
    if not seconds > 0:
        raise ValueError(f"timeout must be a positive number of seconds, not {timeout!r}")
    return seconds


def serve(path: str, seconds: float) -> None:
    """The child's side: reads the model and writes the outcome to the caller."""
    answer = os.fdopen(os.dup(1), "wb")
    os.dup2(2, 1)  # what anything prints goes to stderr, not into the answer
    signal.signal(signal.SIGINT, signal.SIG_IGN)  # the caller ends this process on Ctrl-C
    if hasattr(signal, "setitimer") and math.isfinite(seconds):
        signal.setitimer(signal.ITIMER_REAL, seconds + OUTLIVE)  # SIGALRM's default action ends the process
    try:
        from velmarin_ifc._records import parts_of_file  # which imports ifcopenshell where it needs it, here

        outcome: tuple[str, Any] = ("parts", sent(parts_of_file(path)))
    except Exception as error:  # the caller raises it as its own
        outcome = ("error", error)
    try:
        data = pickle.dumps(outcome, pickle.HIGHEST_PROTOCOL)
    except Exception as unpicklable:
        data = pickle.dumps(("error", RuntimeError(f"{type(outcome[1]).__name__}: {outcome[1]} ({unpicklable})")))
    answer.write(data)
    answer.close()


def sent(parts: Parts) -> tuple[Any, ...]:
    """The parts with meshes as arrays and wires as coordinates, to be pickled."""
    rooms, spaces, openings, apertures, wires, columns, left_out = parts
    return (
        [m.to_arrays() for m in rooms],
        spaces,
        [m.to_arrays() for m in openings],
        apertures,
        [(w.start.x, w.start.y, w.start.z, w.end.x, w.end.y, w.end.z) for w in wires],
        columns,
        left_out,
    )


def received(sent: tuple[Any, ...]) -> Parts:
    """The parts as `sent` gave them, with meshes and wires again."""
    rooms, spaces, openings, apertures, wires, columns, left_out = sent
    return Parts(
        [mesh(*m) for m in rooms],
        spaces,
        [mesh(*m) for m in openings],
        apertures,
        [Wire(Vector3D(x0, y0, z0), Vector3D(x1, y1, z1)) for x0, y0, z0, x1, y1, z1 in wires],
        columns,
        left_out,
    )


def mesh(vertices: Any, faces: Any) -> Mesh:
    if isinstance(
        faces, tuple
    ):  # faces of several lengths, as compressed rows: lists, several times faster than arrays
        indices, offsets = faces[0].tolist(), faces[1].tolist()
        faces = [indices[start:end] for start, end in zip(offsets, offsets[1:])]
    return Mesh.from_arrays(vertices, faces)
