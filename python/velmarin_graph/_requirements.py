"""The optional libraries of velmarin_graph, imported when first needed."""

from __future__ import annotations

import importlib
from types import ModuleType

# The package a module comes in, where the names differ.
PACKAGES = {"pyarrow.parquet": "pyarrow"}


def require(module: str, caller: str) -> ModuleType:
    """The module `module`, imported for `caller` (as messages name it).

    Raises ImportError naming the package to install when it is missing,
    with the import's own error as its cause.
    """
    try:
        return importlib.import_module(module)
    except ImportError as missing:
        package = PACKAGES.get(module, module)
        raise ImportError(
            f"velmarin_graph.{caller} needs {package}, which is not installed; install it with: "
            f"pip install {package} (or pip install 'velmarin[graph]' for every graph library)"
        ) from missing
