"""velmarin as it was at an earlier commit, built beside the working tree's,
so that a benchmark can time both in one run.

    python bench/baseline.py e65086f    # prints the folder to put on PYTHONPATH

The commit is checked out (detached, no branch) under build/baseline/<commit>
and its module built there in Release, once; later calls reuse it. A
benchmark runs the same measurement in child processes whose PYTHONPATH is
either the baseline's folder or the working tree's build, alternating the
two so that both meet the same load (see `alternate`).
"""

from __future__ import annotations

import os
import subprocess
import sys
from collections.abc import Sequence
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def _git(*args, cwd=ROOT):
    return subprocess.run(["git", *args], cwd=cwd, check=True, capture_output=True, text=True).stdout.strip()


def module_at(revision: str) -> Path:
    """The folder holding velmarin's module as built at `revision`."""
    commit = _git("rev-parse", "--short=7", revision + "^{commit}")
    home = ROOT / "build" / "baseline" / commit
    source, build = home / "source", home / "build"
    if not source.exists():
        home.mkdir(parents=True, exist_ok=True)
        _git("worktree", "add", "--detach", str(source), commit)
    if not any(build.glob("velmarin*.so")):
        subprocess.run(
            ["cmake", "-S", str(source), "-B", str(build), "-G", "Ninja", f"-DPython3_EXECUTABLE={sys.executable}"],
            check=True,
            stdout=subprocess.DEVNULL,
        )
        subprocess.run(["cmake", "--build", str(build), "--target", "velmarin"], check=True)
    return build


def run_with(module_folder: Path | Sequence[Path] | None, argv: list[str]) -> str:
    """Runs `python argv...` with `module_folder` (or each of several folders,
    in order) first on the path (None: the installed velmarin) and returns
    what it printed."""
    folders = [] if module_folder is None else [module_folder] if isinstance(module_folder, Path) else module_folder
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([*map(str, folders), *filter(None, [env.get("PYTHONPATH")])])
    return subprocess.run([sys.executable, *argv], env=env, check=True, capture_output=True, text=True).stdout


def alternate(rounds: int, runs: dict[str, Path | None], argv: list[str]) -> dict[str, list[str]]:
    """Each of `runs` (a name and a module folder) once per round, in turn;
    what each run printed, by name."""
    printed: dict[str, list[str]] = {name: [] for name in runs}
    for _ in range(rounds):
        for name, folder in runs.items():
            printed[name].append(run_with(folder, argv))
    return printed


if __name__ == "__main__":
    print(module_at(sys.argv[1] if len(sys.argv) > 1 else "HEAD"))
