"""The command line, ``velmarin-ifc`` (also ``python -m velmarin_ifc``): what
is in a building model, its plans, its graph in files or in FalkorDB; and
for many models at once, a portfolio read on a Dask cluster."""

from __future__ import annotations

import argparse
import glob
import importlib.util
import logging
import math
import os
import signal
import sys
import tempfile
import threading
import time
from collections.abc import Iterator, Sequence
from contextlib import AbstractContextManager, contextmanager
from typing import Any, Callable, TextIO, TypeVar

from velmarin import SpatialGraph
from velmarin_ifc._cores import usable_cores
from velmarin_ifc._outputs import (
    GRAPH_FILES,
    connected_falkordb,
    load_falkordb,
    replace_folder,
    summary_json,
    write_bytes,
    write_csv,
    write_graph,
    write_text,
)
from velmarin_ifc._portfolio import PLAN_FORMATS, Outcome, Summary, read_portfolio
from velmarin_ifc._report import COLUMNS, failure, line, report, row

PROG = "velmarin-ifc"
MODEL_SUFFIXES = (".ifc", ".ifc.gz")
GRAPH_FOLDERS = ("", ".parquet")  # the suffixes of a folder of Parquet tables
MODEL_PLACEHOLDER = "{model}"
TABLE = "summary.csv"
SUMMARY = "summary.json"
DEFAULT_TIMEOUT = 600.0

Number = TypeVar("Number", int, float)

# Exit statuses: every model read and written; some model failed; nothing
# was read (bad arguments, inputs or outputs; argparse's own status for its
# errors); Ctrl-C (the shells' status for SIGINT).
OK, FAILED, REFUSED, INTERRUPTED = 0, 1, 2, 130

DESCRIPTION = """\
Reads building models in IFC (IFC2X3 or IFC4, plain or gzipped) into the graph
of their rooms, and says what is in them: the rooms per storey, the contacts
between rooms by how to pass them (door, opening, stair, open, or a wall or
slab), the exits, the room farthest from an exit, what was left out and why,
and the time taken. It can draw the plans, write the graph to files and load
it into FalkorDB.

One model prints its report. Several (files, folders, glob patterns) make a
portfolio: each model is read on a Dask cluster, a line is printed as each
finishes, and with --out each model's files go to a folder of its own beside
a table of all (summary.csv). A model that fails, or whose read runs past
--timeout, is reported and the others go on."""

EPILOG = f"""\
examples:
  {PROG} office.ifc
  {PROG} office.ifc.gz --plan office.png --graph office.graphml
  {PROG} office.ifc --falkordb falkor://localhost:6379 --falkordb-graph office
  {PROG} campus/ 'archive/**/*.ifc' --out results --plan plan.png --graph graph --workers 4

exit status: 0 when every model was read and its outputs written, 1 when
any model failed, 2 when nothing was read (bad arguments, missing models,
unwritable outputs, a missing library)."""


class Refusal(Exception):
    """Why nothing is read: the message for the user."""


def main(argv: Sequence[str] | None = None) -> int:
    """Runs the command line on `argv` (sys.argv[1:] when None); the exit status."""
    args = parser().parse_args(argv)
    try:
        models = find_models(args.models)
        plan = checked_outputs(args, several=len(models) > 1)
        check_libraries(args)
        database = connected(args.falkordb)
        if args.out is None and len(models) == 1:
            return one_model(args, models[0], plan, database)
        return portfolio(args, models, plan, database)
    except Refusal as refusal:
        print(f"{PROG}: {refusal}", file=sys.stderr)
        return REFUSED
    except KeyboardInterrupt:  # the cluster and the readers are ended on the way out
        print(f"\n{PROG}: interrupted", file=sys.stderr)
        return INTERRUPTED


def parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(
        prog=PROG, description=DESCRIPTION, epilog=EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    p.add_argument(
        "models",
        nargs="+",
        metavar="MODEL",
        help="a model (.ifc or .ifc.gz), a folder (its models, in subfolders too) or a glob "
        "pattern (quoted: 'models/**/*.ifc')",
    )
    outputs = p.add_argument_group("outputs (with several models, the names of files in each model's folder)")
    outputs.add_argument(
        "--plan",
        metavar="FILE",
        help="draw a plan of each storey with the graph, the exits and the way out of the "
        "room farthest from one (.png, .svg or .pdf)",
    )
    outputs.add_argument(
        "--graph",
        metavar="PATH",
        help="write the graph: PATH.graphml or PATH.json through networkx, or else a folder "
        "of Parquet tables (nodes, edges, wire contacts)",
    )
    outputs.add_argument(
        "--falkordb",
        metavar="URL",
        help="load the graph into FalkorDB (falkor://host:port, redis://host:port or "
        "unix:///path/to/socket), replacing a graph of the same name",
    )
    outputs.add_argument(
        "--falkordb-graph",
        metavar="NAME",
        default=MODEL_PLACEHOLDER,
        help=f"the graph's name there, where {MODEL_PLACEHOLDER} stands for the model's file "
        f"name without its suffixes (default: {MODEL_PLACEHOLDER})",
    )
    many = p.add_argument_group("several models")
    many.add_argument(
        "--out",
        metavar="DIR",
        help=f"write each model's {SUMMARY} (its rooms, exits, distances to an exit, what was left "
        f"out) and its --plan and --graph files into DIR/<model>/, and {TABLE}, a row per "
        "model, into DIR",
    )
    cluster = many.add_mutually_exclusive_group()
    cluster.add_argument(
        "--workers",
        metavar="N",
        type=positive(int, "a whole number"),
        help=f"read on a local Dask cluster of N worker processes (default: the cores this process may use, {usable_cores()})",
    )
    cluster.add_argument(
        "--scheduler",
        metavar="ADDRESS",
        help="read on a running Dask cluster (tcp://host:8786); its workers must reach the "
        "models by the same paths and have velmarin installed",
    )
    p.add_argument(
        "--timeout",
        metavar="SECONDS",
        type=positive(float, "a finite number of seconds"),
        default=DEFAULT_TIMEOUT,
        help="end the read of a model that takes longer and report it as failed; each model is read "
        f"in a process of its own (default: {DEFAULT_TIMEOUT:g})",
    )
    return p


def positive(parse: Callable[[str], Number], noun: str) -> Callable[[str], Number]:
    """An argument type: a positive, finite number that `parse` reads."""

    def parsed(text: str) -> Number:
        try:
            value = parse(text)
        except ValueError:
            raise argparse.ArgumentTypeError(f"not {noun}: {text!r}") from None
        if not (value > 0 and math.isfinite(value)):
            raise argparse.ArgumentTypeError(f"must be {noun} above 0, not {text}")
        return value

    return parsed


# --- what to read -----------------------------------------------------------------------


def find_models(arguments: Sequence[str]) -> list[str]:
    """The model files the arguments name, in order, each once."""
    found: dict[str, str] = {}
    for argument in arguments:
        if os.path.isdir(argument):
            models = models_in(argument)
            if not models:
                raise Refusal(f"no models ({', '.join('*' + s for s in MODEL_SUFFIXES)}) in the folder {argument}")
        elif os.path.exists(argument):
            models = [argument]
        elif any(character in argument for character in "*?["):
            matched = sorted(glob.glob(argument, recursive=True))
            models = [m for path in matched for m in (models_in(path) if os.path.isdir(path) else [path])]
            if not models:
                raise Refusal(f"no model matches {argument}")
        else:
            raise Refusal(f"no such file or folder: {argument}")
        for model in models:
            found.setdefault(os.path.realpath(model), model)
    return list(found.values())


def models_in(folder: str) -> list[str]:
    """The models in a folder and its subfolders (hidden ones left out), sorted by path."""
    models = []
    for parent, folders, files in os.walk(folder):
        folders[:] = sorted(f for f in folders if not f.startswith("."))
        models += [os.path.join(parent, f) for f in sorted(files) if f.lower().endswith(MODEL_SUFFIXES)]
    return models


def model_names(models: Sequence[str]) -> dict[str, str]:
    """A name for each model: its file name without .gz and .ifc, with -2,
    -3, ... for later models of a name already taken."""
    names: dict[str, str] = {}
    taken: set[str] = set()
    for model in models:
        base = os.path.basename(model)
        for suffix in (".gz", ".ifc"):
            if base.lower().endswith(suffix) and len(base) > len(suffix):
                base = base[: -len(suffix)]
        name, k = base, 2
        while name in taken:
            name, k = f"{base}-{k}", k + 1
        taken.add(name)
        names[model] = name
    return names


# --- what to write, checked before anything is read -------------------------------------------


def checked_outputs(args: argparse.Namespace, several: bool) -> str | None:
    """Checks the outputs asked for, before any model is read; the plan's
    suffix (None for no plan). Makes the --out folder if missing."""
    plan = None
    if args.plan is not None:
        plan = os.path.splitext(args.plan)[1].lower()
        if plan not in PLAN_FORMATS:
            raise Refusal(f"--plan draws {', '.join(PLAN_FORMATS)} files, not {args.plan!r}")
    if args.graph is not None and os.path.splitext(args.graph)[1].lower() not in GRAPH_FILES + GRAPH_FOLDERS:
        raise Refusal(
            f"--graph writes {' or '.join(GRAPH_FILES)} files, or a folder of Parquet tables (a name "
            f"without a suffix, or ending in .parquet), not {args.graph!r}"
        )
    if several and MODEL_PLACEHOLDER not in args.falkordb_graph and args.falkordb is not None:
        raise Refusal(
            f"--falkordb-graph needs {MODEL_PLACEHOLDER} in it for several models, so that each "
            f"gets a graph of its own, not {args.falkordb_graph!r}"
        )
    if args.out is None:
        if several and (args.plan or args.graph):
            raise Refusal("with several models, --plan and --graph name files in each model's folder: give --out DIR")
        for path in (args.plan, args.graph):
            if path is not None:
                check_writable(os.path.dirname(os.path.abspath(path)), path)
        return plan
    for name, option in ((args.plan, "--plan"), (args.graph, "--graph")):
        if name is not None and (os.path.basename(name) != name or name in (".", "..")):
            raise Refusal(
                f"with --out, {option} names the file in each model's folder, such as "
                f"{'plan.png' if option == '--plan' else 'graph.graphml'}, not {name!r}"
            )
    try:
        os.makedirs(args.out, exist_ok=True)
    except OSError as error:
        raise Refusal(f"cannot make the folder {args.out}: {error.strerror or error}") from None
    check_writable(args.out, args.out)
    return plan


def check_writable(folder: str, target: str) -> None:
    """Refuses a target whose folder is missing or cannot be written (tried
    with a file made and removed there, as permissions do not bind root)."""
    if not os.path.isdir(folder):
        why = "is not a folder" if os.path.exists(folder) else "does not exist"
        raise Refusal(f"cannot write {target}: {folder} {why}")
    try:
        with tempfile.TemporaryFile(dir=folder):
            pass
    except OSError as error:
        raise Refusal(f"cannot write {target}: {error.strerror or error}") from None


def check_libraries(args: argparse.Namespace) -> None:
    needed = [("ifcopenshell", "reads the models", "velmarin[ifc]")]
    if args.plan:
        needed.append(("matplotlib", "--plan draws with it", "velmarin[plot]"))
    if args.graph:
        files = os.path.splitext(args.graph)[1].lower() in GRAPH_FILES
        needed.append(
            ("networkx", "--graph writes GraphML and JSON with it", "velmarin[graph]")
            if files
            else ("pyarrow", "--graph writes Parquet tables with it", "velmarin[graph]")
        )
    if args.falkordb:
        needed.append(("falkordb", "--falkordb loads with its client", "falkordb"))
    if args.workers or args.scheduler:
        needed.append(("distributed", "--workers and --scheduler read on a Dask cluster", "velmarin[portfolio]"))
    for module, why, package in needed:
        if importlib.util.find_spec(module) is None:
            raise Refusal(f"{module} is not installed ({why}): pip install '{package}'")


def connected(url: str | None) -> Any:
    if url is None:
        return None
    try:
        return connected_falkordb(url)
    except (ValueError, ConnectionError) as error:
        raise Refusal(str(error)) from None


# --- one model ---------------------------------------------------------------------------


def one_model(args: argparse.Namespace, model: str, plan: str | None, database: Any) -> int:
    """Reads one model, prints its report and writes its outputs where they were named."""
    name = model_names([model])[model]
    _, outcome = next(read_portfolio([model], timeout=args.timeout, plan=plan))
    if isinstance(outcome, Exception):
        print(f"{PROG}: {model}: {failure(outcome)}", file=sys.stderr)
        return FAILED
    print(report(name, outcome))
    try:
        for done in delivered(args, name, outcome, database, args.plan, args.graph):
            print(done)
    except Exception as error:
        print(f"{PROG}: {model}: writing its outputs failed: {failure(error)}", file=sys.stderr)
        return FAILED
    return OK


def delivered(
    args: argparse.Namespace, name: str, summary: Summary, database: Any, plan: str | None, graph: str | None
) -> list[str]:
    """Writes a model's plan and graph where named and loads it into the
    database; what was done, in words."""
    done = []
    if plan is not None:
        write_bytes(plan, summary["plan"])
        done.append(f"plans drawn into {plan}")
    built = SpatialGraph.from_arrays(summary["graph"]) if graph is not None or database is not None else None
    if graph is not None and built is not None:
        write_graph(built, graph)
        done.append(f"graph written to {graph}")
    if database is not None and built is not None:
        graph_name = args.falkordb_graph.replace(MODEL_PLACEHOLDER, name)
        load_falkordb(database, graph_name, built)
        done.append(f"graph loaded into FalkorDB as {graph_name!r}")
    return done


# --- a portfolio -------------------------------------------------------------------------


def portfolio(args: argparse.Namespace, models: list[str], plan: str | None, database: Any) -> int:
    """Reads the models on a Dask cluster, prints a line as each finishes,
    writes each one's folder and the table; FAILED when any failed."""
    names = model_names(models)
    outcomes: dict[str, Outcome] = {}
    start = time.perf_counter()
    with dask_client(args) as (client, where):
        print(
            f"{len(models)} models, read {where}; each in a process of its own, ended after {args.timeout:g} s",
            flush=True,
        )
        progress = Progress(len(models), sys.stderr)
        for model, outcome in read_portfolio(models, client, args.timeout, plan):
            if not isinstance(outcome, Exception):
                try:
                    deliver_folder(args, names[model], outcome, database)
                except Exception as error:
                    outcome = RuntimeError(f"writing its outputs failed: {failure(error)}")
            outcomes[model] = outcome
            progress.clear()
            print(line(names[model], outcome), flush=True)
            progress.show(len(outcomes), sum(isinstance(o, Exception) for o in outcomes.values()))
        progress.clear()
    failed = sum(isinstance(o, Exception) for o in outcomes.values())
    table = ""
    if args.out is not None:
        path = os.path.join(args.out, TABLE)
        write_csv(path, COLUMNS, [row(names[m], m, outcomes[m]) for m in models])
        table = f"; the table: {path}"
    print(
        f"{len(models) - failed} of {len(models)} models read in {time.perf_counter() - start:.1f} s, "
        f"{failed} failed{table}"
    )
    return FAILED if failed else OK


def deliver_folder(args: argparse.Namespace, name: str, summary: Summary, database: Any) -> None:
    """A model's outputs: its folder under --out, filled under a temporary
    name and renamed into place, and its graph in the database."""
    if args.out is not None:

        def fill(folder: str) -> None:
            write_text(os.path.join(folder, SUMMARY), summary_json(summary))
            delivered(
                args,
                name,
                summary,
                None,
                os.path.join(folder, args.plan) if args.plan else None,
                os.path.join(folder, args.graph) if args.graph else None,
            )

        replace_folder(os.path.join(args.out, name), fill)
    delivered(args, name, summary, database, None, None)


@contextmanager
def dask_client(args: argparse.Namespace) -> Iterator[tuple[Any, str]]:
    """A client of the cluster asked for and the words for it; (None, ...)
    to read here, one by one, when neither was asked for and Dask is missing."""
    if args.scheduler is None and args.workers is None and importlib.util.find_spec("distributed") is None:
        print(
            f"{PROG}: distributed (Dask) is not installed: reading the models one by one here "
            "(pip install 'velmarin[portfolio]' to read several at once)",
            file=sys.stderr,
        )
        yield None, "one by one"
        return
    from distributed import Client, LocalCluster

    if args.scheduler is not None:
        try:
            client = Client(args.scheduler, timeout="20s")
        except (OSError, TimeoutError, ValueError) as error:
            raise Refusal(f"the Dask scheduler at {args.scheduler} does not answer: {error}") from None
        with client:
            yield client, f"on the Dask cluster at {args.scheduler}"
        return
    workers = args.workers or usable_cores()
    with interrupts_ignored():
        cluster: AbstractContextManager[Any] = LocalCluster(
            n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=":0", silence_logs=logging.ERROR
        )
    with cluster as local, Client(local) as client:
        yield client, f"on a local Dask cluster of {workers} worker process{'es' if workers > 1 else ''}"


@contextmanager
def interrupts_ignored() -> Iterator[None]:
    """Ignores Ctrl-C while worker processes start, so that they ignore it too
    (an ignored signal stays ignored in a new program, and Python then sets
    no handler of its own): Ctrl-C reaches every process of the terminal's
    group, and the workers are to be ended by this one, not each print its
    own KeyboardInterrupt."""
    if threading.current_thread() is not threading.main_thread():
        yield
        return
    handler = signal.signal(signal.SIGINT, signal.SIG_IGN)
    try:
        yield
    finally:
        signal.signal(signal.SIGINT, handler)


class Progress:
    """A bar on a terminal (nothing elsewhere): models done, failed, time."""

    WIDTH = 30

    def __init__(self, total: int, stream: TextIO) -> None:
        self.total, self.stream = total, stream
        self.shown = stream.isatty()
        self.start = time.monotonic()
        self.show(0, 0)

    def show(self, done: int, failed: int) -> None:
        if not self.shown:
            return
        filled = self.WIDTH * done // max(self.total, 1)
        elapsed = int(time.monotonic() - self.start)
        self.stream.write(
            f"\r[{'#' * filled}{'.' * (self.WIDTH - filled)}] {done}/{self.total} models, "
            f"{failed} failed, {elapsed // 60}:{elapsed % 60:02d}"
        )
        self.stream.flush()

    def clear(self) -> None:
        if self.shown:
            self.stream.write("\r\033[K")
            self.stream.flush()
