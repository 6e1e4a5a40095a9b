import os

import pytest

import velmarin


def pytest_report_header(config):
    return f"velmarin from {velmarin.__file__}"


def pytest_sessionstart(session):
    # The sanitizer run must test the sanitized build, not the installed one.
    expected = os.environ.get("VELMARIN_EXPECT_MODULE")
    if expected and not os.path.realpath(velmarin.__file__).startswith(os.path.realpath(expected)):
        pytest.exit(f"expected velmarin from {expected}, got {velmarin.__file__}", returncode=3)
