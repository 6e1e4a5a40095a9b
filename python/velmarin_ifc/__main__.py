"""``python -m velmarin_ifc``: the command line, as ``velmarin-ifc``."""

import sys

from velmarin_ifc._command import main

if __name__ == "__main__":  # not when a process of a local cluster imports it again
    sys.exit(main())
