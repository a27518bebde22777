# SPDX-License-Identifier: Apache-2.0
"""Runs the package's tests under CTest: exit status 77 (skipped) when what they need is missing,
with one line saying what."""

import importlib
import sys


def importable(module):
    try:
        importlib.import_module(module)
    except ImportError:
        return False
    return True


def main():
    needed = {"numpy": "python3-numpy", "pytest": "python3-pytest", "PIL": "python3-pil"}
    missing = [package for module, package in needed.items() if not importable(module)]
    if missing:
        print("Python tests skipped: missing " + " ".join(missing))
        return 77
    import pytest
    return pytest.main(["-q", "-p", "no:cacheprovider", *sys.argv[1:]])


# Processes that Dask's schedulers spawn import this file again: only the first runs the tests.
if __name__ == "__main__":
    sys.exit(main())
