"""The tour's own modules in examples/, for the tests and benchmarks that
check what the examples build: `ifc_model` (the house written as an IFC
model, and any layout of rooms) and `graph_database` (the embedded FalkorDB).

The examples import one another as scripts in one folder do, so that folder
is put on the module path for the import alone, not for everything else::

    ifc_model = example("ifc_model")
    ifc_model.write_model(path, ifc_model.house_layout())
"""

from __future__ import annotations

import importlib
import sys
from pathlib import Path
from types import ModuleType

EXAMPLES = Path(__file__).resolve().parent.parent.parent / "examples"


def example(name: str) -> ModuleType:
    """The module examples/<name>.py, imported once.

    Parameters
    ----------
    name
        The module's name, without ``.py``.

    Returns
    -------
    The module, as ``import name`` from examples/ would give it.

    Raises
    ------
    ModuleNotFoundError
        When examples/ has no such module, or it needs a library that is not
        installed (ifc_model needs ifcopenshell).
    """
    folder = str(EXAMPLES)
    sys.path.insert(0, folder)
    try:
        return importlib.import_module(name)
    finally:
        sys.path.remove(folder)
