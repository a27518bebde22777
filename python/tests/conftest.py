# SPDX-License-Identifier: Apache-2.0
"""What the tests share: the bundled sample, the command line's own lines for it, and programs
of the build (strixa, strixa-batch, strixa_draw_pages) named by CTest's environment."""

import os
import subprocess
from pathlib import Path

import numpy as np
import pytest
from PIL import Image

SOURCE_DIR = Path(os.environ.get("STRIXA_SOURCE_DIR", Path(__file__).resolve().parents[2]))
SAMPLE = SOURCE_DIR / "samples" / "sample.bmp"


def program(name):
    path = os.environ.get(name)
    if not path or not Path(path).exists():
        pytest.skip(f"{name} does not name a program of the build (run under CTest)")
    return path


def lines_of(barcodes):
    """What strixa /P prints for the barcodes: rectangle, label and text."""
    return [(b.x, b.y, b.width, b.height, b.label, b.text) for b in barcodes]


def command_line_lines(path):
    """strixa /P's lines for the file, parsed (it pauses about two seconds)."""
    out = subprocess.run([program("STRIXA_BINARY"), "/P", str(path)], check=True,
                         capture_output=True).stdout.decode()
    lines = []
    for line in out.split("\r\r\n"):
        if line:
            x, y, width, height, label, text = line.split("\t")
            lines.append((int(x), int(y), int(width), int(height), label, text))
    return lines


@pytest.fixture(scope="session")
def sample_lines():
    lines = command_line_lines(SAMPLE)
    assert len(lines) == 8
    return lines


@pytest.fixture(scope="session")
def sample_grey():
    """The sample's pixels, (900, 1200) uint8, read by Pillow, not by strixa."""
    with Image.open(SAMPLE) as image:
        return np.asarray(image.convert("L"))


@pytest.fixture(scope="session")
def drawn_pages(tmp_path_factory):
    """Three drawn document pages (2500 x 3500) as PNG (BMP in a build without PNG), and one
    as BMP."""
    import strixa
    folder = tmp_path_factory.mktemp("pages")
    draw = program("STRIXA_DRAW_PAGES")
    subprocess.run([draw, str(folder), "1", "bmp"], check=True)
    (folder / "page-0001.bmp").rename(folder / "first.bmp")
    subprocess.run([draw, str(folder), "3", "png" if strixa.reads_format("png") else "bmp"],
                   check=True)
    return sorted(folder.iterdir())
