"""Small helpers shared by the test files."""

import os
import sys

import pytest

import velmarin

# Exception notes exist from 3.11 on; earlier interpreters report without them.
HAS_NOTES = sys.version_info >= (3, 11)


def notes_of(error):
    return list(getattr(error, "__notes__", []))


def assert_noted(error, parameter):
    """The conversion failure names its parameter where the interpreter has notes."""
    if HAS_NOTES:
        assert notes_of(error) == [f"while processing '{parameter}'"]


def module_env():
    """The environment of this run, with the module under test first on the path."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([os.path.dirname(velmarin.__file__), env.get("PYTHONPATH", "")])
    return env


def internal_fault(call):
    """The call ends with the internal-fault exception; its text."""
    with pytest.raises(BaseException) as info:
        call()
    assert not isinstance(info.value, Exception)
    assert type(info.value).__name__ == "PanicException"
    return str(info.value)
