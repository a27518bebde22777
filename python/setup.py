# SPDX-License-Identifier: Apache-2.0
"""Builds the extension strixa._strixa against libstrixa, found by pkg-config: an installed
libstrixa-dev (/usr), a private prefix (PKG_CONFIG_PATH=PREFIX/lib/pkgconfig), or a build folder
of the source tree (PKG_CONFIG_PATH=build), whose strixa-uninstalled.pc pkg-config prefers."""

import re
import shlex
import subprocess

from pybind11.setup_helpers import Pybind11Extension
from setuptools import setup


def pkg_config(*arguments):
    try:
        done = subprocess.run(["pkg-config", *arguments, "strixa"], check=True,
                              capture_output=True, text=True)
    except (OSError, subprocess.CalledProcessError) as failure:
        raise SystemExit("libstrixa not found by pkg-config: install libstrixa-dev, or set "
                         "PKG_CONFIG_PATH to a build folder or PREFIX/lib/pkgconfig "
                         f"({failure})") from None
    return done.stdout.strip()


version = pkg_config("--modversion")
if int(version.split(".")[0]) < 3:
    raise SystemExit(f"libstrixa {version} found; the package needs 3.0 or later")
flags = shlex.split(pkg_config("--cflags"))
libraries = shlex.split(pkg_config("--libs"))
library_dir = pkg_config("--variable=libdir")
# A library outside the system's folders is found again at run time through the module's rpath.
runtime = [] if re.fullmatch(r"/(usr/)?lib(64|/[^/]+)?", library_dir) else [library_dir]

module = Pybind11Extension(
    "strixa._strixa",
    ["src/module.cpp"],
    include_dirs=[f[2:] for f in flags if f.startswith("-I")],
    extra_compile_args=[f for f in flags if not f.startswith("-I")],
    library_dirs=[f[2:] for f in libraries if f.startswith("-L")],
    libraries=[f[2:] for f in libraries if f.startswith("-l")],
    extra_link_args=[f for f in libraries if not f.startswith(("-L", "-l"))],
    runtime_library_dirs=runtime,
    cxx_std=17,
)

setup(version=version, ext_modules=[module])
