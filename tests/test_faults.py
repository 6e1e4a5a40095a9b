"""Internal faults and borrow conflicts, provoked through the test-support module.

The module `_velmarin_probe` is built on the same binding toolkit as velmarin
(`make test` builds it); ordinary input never reaches these paths in velmarin.
"""

import os
import re
import sys

import pytest

if os.environ.get("VELMARIN_PROBE_DIR"):
    sys.path.insert(0, os.environ["VELMARIN_PROBE_DIR"])
    import _velmarin_probe as probe
else:
    probe = pytest.importorskip("_velmarin_probe")


def caught_fault(call):
    try:
        call()
    except Exception:  # noqa: BLE001 - the point is that this does not catch it
        pytest.fail("an internal fault was caught as an ordinary Exception")
    except BaseException as error:  # noqa: BLE001
        return error
    pytest.fail("no internal fault was raised")


def test_a_fault_raises_the_internal_fault_exception(capfd):
    error = caught_fault(lambda: probe.raise_fault("the invariant broke"))
    cls = type(error)
    assert (cls.__module__, cls.__name__) == ("pyo3_runtime", "PanicException")
    assert cls.__bases__ == (BaseException,)
    assert "BaseException" in cls.__doc__
    assert error.args == ("the invariant broke",)
    diagnostic = capfd.readouterr().err
    assert "the invariant broke" in diagnostic
    assert re.search(r"probe_module\.cpp:\d+", diagnostic)


def test_the_exception_class_exists_once():
    first = caught_fault(lambda: probe.raise_fault("a"))
    second = caught_fault(lambda: probe.read_checked(3, 5))
    assert type(first) is type(second)
    assert second.args == ("index 5 out of range for length 3",)
    assert probe.read_checked(3, 2) == 1


def test_an_internal_fault_from_a_callback_ends_the_call_as_a_fault(capfd):
    panic = type(caught_fault(lambda: probe.raise_fault("x")))
    capfd.readouterr()

    class Treacherous:
        def __float__(self):
            raise panic("raised inside a conversion")

    error = caught_fault(lambda: probe.as_float(Treacherous()))
    assert type(error) is panic
    assert not getattr(error, "__notes__", [])
    diagnostic = capfd.readouterr().err
    assert "raised inside a conversion" in diagnostic
    assert re.search(r"test_faults\.py.*line \d+", diagnostic)


class TestBorrowFlag:
    def test_a_read_during_an_exclusive_borrow_fails(self):
        p = probe.Probe(1.5)
        with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
            p.call_while_exclusive(lambda: p.value)
        assert p.value == 1.5  # released after the failure

    def test_a_write_during_a_shared_borrow_fails(self):
        p = probe.Probe(1.5)

        def write():
            p.value = 2.0

        with pytest.raises(RuntimeError, match="^Already borrowed$"):
            p.call_while_shared(write)
        assert p.value == 1.5
        p.value = 3.0
        assert p.value == 3.0

    def test_shared_borrows_nest(self):
        p = probe.Probe(1.5)
        assert p.call_while_shared(lambda: p.call_while_shared(lambda: p.value)) == 1.5

    def test_exclusive_borrows_do_not_nest(self):
        p = probe.Probe(0)
        with pytest.raises(RuntimeError, match="^Already borrowed$"):
            p.call_while_exclusive(lambda: p.call_while_exclusive(lambda: None))

    def test_arguments_bind_before_the_receiver_is_borrowed(self):
        p = probe.Probe(0)
        with pytest.raises(TypeError, match=r"Probe\.call_while_exclusive\(\) missing 1 required"):
            p.call_while_exclusive()
        assert p.call_while_exclusive(lambda: 7) == 7
