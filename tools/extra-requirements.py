"""Prints the requirements of one optional-dependency group of pyproject.toml."""

import sys

import tomllib

with open("pyproject.toml", "rb") as f:
    groups = tomllib.load(f)["project"]["optional-dependencies"]
print("\n".join(groups[sys.argv[1]]))
