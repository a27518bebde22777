# SPDX-License-Identifier: Apache-2.0
"""strixa.read and strixa.Reader on every kind of source, against strixa /P's lines for the same
picture; bad input of each kind; threads."""

import dataclasses
import os
import pathlib
import subprocess
import sys
import threading
import time

import numpy as np
import pytest
from PIL import Image

import strixa
from strixa import _strixa
from conftest import SAMPLE, lines_of


class PathLike:
    def __init__(self, path):
        self.path = path

    def __fspath__(self):
        return str(self.path)


def pillow(mode):
    image = Image.open(SAMPLE)
    return image.convert(mode)


# Each source holds the sample's picture; all must read as the command line does.
sources = {
    "str path": lambda grey: str(SAMPLE),
    "pathlib path": lambda grey: pathlib.Path(SAMPLE),
    "os.PathLike": lambda grey: PathLike(SAMPLE),
    "bytes": lambda grey: SAMPLE.read_bytes(),
    "bytearray": lambda grey: bytearray(SAMPLE.read_bytes()),
    "memoryview": lambda grey: memoryview(SAMPLE.read_bytes()),
    "numpy grey": lambda grey: grey,
    "numpy RGB": lambda grey: np.stack([grey] * 3, axis=-1),
    "numpy RGBA": lambda grey: np.dstack([grey] * 3 + [np.full_like(grey, 255)]),
    "Pillow L": lambda grey: pillow("L"),
    "Pillow RGB": lambda grey: pillow("RGB"),
    "Pillow RGBA": lambda grey: pillow("RGBA"),
    "Pillow LA (converted)": lambda grey: pillow("LA"),
    "Pillow I (converted)": lambda grey: pillow("I"),
    "Pillow CMYK (converted)": lambda grey: pillow("CMYK"),
}


@pytest.mark.parametrize("name", sources)
def test_every_source_reads_as_the_command_line(name, sample_grey, sample_lines):
    found = strixa.read(sources[name](sample_grey))
    assert lines_of(found) == sample_lines


def spaced_rows(grey):
    big = np.zeros((2 * grey.shape[0], grey.shape[1]), np.uint8)
    big[::2] = grey
    return big[::2]


def spaced_columns(grey):
    big = np.zeros((grey.shape[0], 2 * grey.shape[1]), np.uint8)
    big[:, ::2] = grey
    return big[:, ::2]


def rgb(grey):
    # Channels that differ, so that a channel mix-up changes what is read: the library reads
    # green, so red and blue hold the negative.
    return np.dstack([255 - grey, grey, 255 - grey])


def rgba(grey):
    return np.dstack([255 - grey, grey, 255 - grey, np.full_like(grey, 7)])


# Views that hold the sample's picture in memory laid out otherwise, and whether the C API can
# take them in place (its row stride may be anything, but pixels must be next to each other).
views = [
    ("rows apart (a step across rows)", spaced_rows, "grey", False),
    ("bottom up (a negative step)", lambda g: np.ascontiguousarray(g[::-1])[::-1], "grey", False),
    ("a window of a wider picture", lambda g: np.pad(g, ((3, 5), (7, 11)))[3:-5, 7:-11], "grey",
     False),
    ("transposed", lambda g: np.ascontiguousarray(g.T).T, "grey", True),
    ("a step across columns", spaced_columns, "grey", True),
    ("right to left (a negative column step)", lambda g: np.ascontiguousarray(g[:, ::-1])[:, ::-1],
     "grey", True),
    ("broadcast rows (stride 0)", None, "grey", True),
    ("RGB", rgb, "rgb", False),
    ("RGB bottom up", lambda g: np.ascontiguousarray(rgb(g)[::-1])[::-1], "rgb", False),
    ("RGB with channels reversed (BGR memory)",
     lambda g: np.ascontiguousarray(rgb(g)[..., ::-1])[..., ::-1], "bgr", False),
    ("RGB as the first three channels of RGBA", lambda g: rgba(g)[..., :3], "rgb", True),
    ("RGB transposed", lambda g: np.ascontiguousarray(rgb(g).transpose(1, 0, 2)).transpose(1, 0, 2),
     "rgb", True),
    ("RGBA", rgba, "rgba", False),
    ("RGBA with channels reversed",
     lambda g: np.ascontiguousarray(rgba(g)[..., ::-1])[..., ::-1], "rgba", True),
]


@pytest.mark.parametrize("name,make,layout,copied", views, ids=[v[0] for v in views])
def test_strided_views_read_as_the_command_line(name, make, layout, copied, sample_grey,
                                                sample_lines):
    if make is None:
        # Every row the same: one row of the sample, read against its own contiguous copy.
        view = np.broadcast_to(sample_grey[450], sample_grey.shape)
        assert lines_of(strixa.read(view)) == lines_of(strixa.read(np.array(view)))
        assert _strixa.pixel_layout(view) == (layout, copied)
        return
    view = make(sample_grey)
    expected = rgb(sample_grey) if layout in ("rgb", "bgr") else sample_grey
    if layout == "rgba":
        expected = rgba(sample_grey)
    assert np.array_equal(view, expected)
    assert _strixa.pixel_layout(view) == (layout, copied)
    assert lines_of(strixa.read(view)) == sample_lines


def test_barcode_fields(sample_grey):
    found = strixa.read(SAMPLE)
    by_label = {b.label: b for b in found}
    ean = by_label["EAN13"]
    assert (ean.symbology, ean.text, ean.data, ean.symbology_id) == (
        "ean13", "5901234 123457", b"5901234123457", "]E0")
    assert (by_label["UPC-A"].symbology, by_label["UPC-A"].data) == ("upca", b"0036000291452")
    assert [b.symbology for b in found] == [
        "ean13", "ean128", "code128", "code39", "ean8", "itf", "2of5", "upca"]
    angles = {"upright": 0.0, "flat": 90.0, "upright-reversed": 180.0, "flat-reversed": 270.0}
    for barcode in found:
        assert barcode.page == 1
        assert barcode.angle == angles[barcode.orientation]
        xs = [x for x, _ in barcode.corners]
        ys = [y for _, y in barcode.corners]
        # The corners span the rectangle, whose pixel box starts at x - 1, y - 1.
        assert (min(xs), min(ys)) == (barcode.x - 1, barcode.y - 1)
        assert (max(xs), max(ys)) == (barcode.x - 1 + barcode.width,
                                      barcode.y - 1 + barcode.height)
    assert by_label["UPC-A"].orientation == "flat"
    with pytest.raises(dataclasses.FrozenInstanceError):
        ean.text = "forged"


def test_options_choose_symbologies_and_fine():
    wanted = strixa.read(SAMPLE, symbologies={"ean13", "CODE39"})
    assert [b.label for b in wanted] == ["EAN13", "CODE39"]
    assert [b.label for b in strixa.read(SAMPLE, symbologies="itf,2of5")] == ["2/5i", "2/5"]
    assert strixa.read(SAMPLE, symbologies=[]) == []
    reader = strixa.Reader(fine=True)
    fine = reader.read(SAMPLE)
    assert lines_of(strixa.read(SAMPLE)) == lines_of(fine)[:8]
    # A reader serves again, with the same results.
    assert reader.read(SAMPLE) == fine


# The sample as light bars on dark: only the robust engine reads it, and it reads every symbol.
robust_labels = sorted(["EAN13", "EAN128", "CODE128", "CODE39", "EAN8", "2/5i", "2/5", "UPC-A"])
engines = [("document", []), ("robust", robust_labels), ("both", robust_labels),
           (None, robust_labels)]


@pytest.mark.parametrize("engine,labels", engines, ids=[str(e[0]) for e in engines])
def test_engine_chooses_what_reads(engine, labels, sample_grey, sample_lines):
    options = {} if engine is None else {"engine": engine}
    assert sorted(b.label for b in strixa.read(255 - sample_grey, **options)) == labels
    reader = strixa.Reader(**options)
    assert f"engine={engine or 'both'!r}" in repr(reader)
    # Dark bars on light: the robust engine alone reads them in its own order and rectangles;
    # with the document pipeline, each symbol comes once, as strixa /P gives it.
    upright = reader.read(sample_grey)
    if engine == "robust":
        assert sorted(lines_of(upright)) != sorted(sample_lines)
        assert sorted(b.text for b in upright) == sorted(line[5] for line in sample_lines)
    else:
        assert lines_of(upright) == sample_lines


def empty_bmp(tmp_path):
    path = tmp_path / "blank.bmp"
    Image.new("L", (64, 48), 255).save(path)
    return path


def test_nothing_found_is_an_empty_list(tmp_path):
    assert strixa.read(empty_bmp(tmp_path)) == []
    assert strixa.read(np.full((40, 30), 200, np.uint8)) == []


# (source or reader options, the exception, words its message must hold)
bad_inputs = [
    ("missing file", lambda p: strixa.read(p / "missing.bmp"), strixa.FileError, ""),
    ("a directory", lambda p: strixa.read(p), strixa.Error, ""),
    ("bytes of no picture", lambda p: strixa.read(b"not a picture at all"), strixa.FormatError,
     ""),
    ("empty bytes", lambda p: strixa.read(b""), strixa.Error, ""),
    ("a cut bitmap", lambda p: strixa.read(SAMPLE.read_bytes()[:3000]), strixa.Error, ""),
    ("a path with a NUL", lambda p: strixa.read("sample\0.bmp"), ValueError, "NUL"),
    ("uint16 pixels", lambda p: strixa.read(np.zeros((10, 10), np.uint16)), TypeError, "uint8"),
    ("float pixels", lambda p: strixa.read(np.zeros((10, 10))), TypeError, "uint8"),
    ("1-D pixels", lambda p: strixa.read(np.zeros(100, np.uint8)), ValueError, "2-D"),
    ("4-D pixels", lambda p: strixa.read(np.zeros((2, 2, 2, 2), np.uint8)), ValueError, "2-D"),
    ("two channels", lambda p: strixa.read(np.zeros((10, 10, 2), np.uint8)), ValueError,
     "channels"),
    ("no rows", lambda p: strixa.read(np.zeros((0, 10), np.uint8)), ValueError, "height"),
    ("a side past the limit", lambda p: strixa.read(np.zeros((1, 40000), np.uint8)),
     strixa.ArgumentError, "32767"),
    ("an int", lambda p: strixa.read(42), TypeError, "int"),
    ("a list", lambda p: strixa.read([[0, 1]]), TypeError, "list"),
    ("unknown symbology", lambda p: strixa.Reader(symbologies={"qr"}), ValueError, "qr"),
    ("symbology not a str", lambda p: strixa.Reader(symbologies=[13]), TypeError, "str"),
    ("page 0", lambda p: strixa.Reader(pages=(0, 1)), strixa.ArgumentError, ""),
    ("negative page count", lambda p: strixa.Reader(pages=(1, -1)), strixa.ArgumentError, ""),
    ("pages not a pair", lambda p: strixa.Reader(pages=3), TypeError, "pair"),
    ("dpi too low", lambda p: strixa.Reader(pdf_dpi=9), strixa.ArgumentError, ""),
    ("dpi too high", lambda p: strixa.Reader(pdf_dpi=5000), strixa.ArgumentError, ""),
    ("unknown option", lambda p: strixa.read(SAMPLE, colour=True), TypeError, "colour"),
    ("unknown engine", lambda p: strixa.Reader(engine="fast"), ValueError, "'fast'"),
    ("engine in capitals", lambda p: strixa.read(SAMPLE, engine="Robust"), ValueError, "engine"),
    ("engine by number", lambda p: strixa.Reader(engine=1), ValueError, "engine"),
    ("engine None", lambda p: strixa.Reader(engine=None), ValueError, "engine"),
]


@pytest.mark.parametrize("name,call,error,words", bad_inputs, ids=[b[0] for b in bad_inputs])
def test_bad_input_raises(name, call, error, words, tmp_path):
    with pytest.raises(error) as raised:
        call(tmp_path)
    assert words in str(raised.value)
    if isinstance(raised.value, strixa.Error):
        # The library's own words, and the status they belong to.
        assert raised.value.message != ""
        assert raised.value.message == str(raised.value)
        assert raised.value.barcodes == []


def test_error_classes_are_what_python_users_catch(tmp_path):
    with pytest.raises(OSError):
        strixa.read(tmp_path / "missing.bmp")
    with pytest.raises(ValueError):
        strixa.Reader(pdf_dpi=1)
    assert strixa.FormatError.status == 4 and strixa.LimitError.status == 6


def long_picture():
    """A picture whose fine read takes long: many bars that are no symbol."""
    generator = np.random.default_rng(7)
    return (generator.integers(0, 2, (4000, 6000), dtype=np.uint8) * 255)


def start_long_read(reader):
    state = {"done": False, "error": None}

    def work():
        try:
            reader.read(long_picture_cache)
        except Exception as failure:  # noqa: BLE001 - handed to the test's thread
            state["error"] = failure
        state["done"] = True

    thread = threading.Thread(target=work)
    thread.start()
    return thread, state


long_picture_cache = long_picture()


def progress_during(state, steps=20):
    """How many steps this thread makes while the other one reads; each needs the GIL back."""
    made = 0
    while not state["done"] and made < steps:
        time.sleep(0.001)
        made += 1
    return made if not state["done"] else -made


def test_reading_releases_the_gil():
    thread, state = start_long_read(strixa.Reader(fine=True))
    made = progress_during(state)
    thread.join()
    assert state["error"] is None
    # All the steps came while the read still ran: it did not hold the GIL.
    assert made == 20


def test_two_threads_read_at_once(sample_lines):
    results = {}

    def work(key, source):
        results[key] = lines_of(strixa.Reader().read(source))

    threads = [threading.Thread(target=work, args=(i, SAMPLE)) for i in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == {0: sample_lines, 1: sample_lines}


def test_a_reader_in_use_refuses_a_second_thread(sample_grey, sample_lines):
    reader = strixa.Reader(fine=True)
    thread, state = start_long_read(reader)
    made = progress_during(state)
    refused = None
    if made == 20:
        try:
            reader.read(sample_grey)
        except ValueError as error:
            refused = str(error)
    thread.join()
    assert made == 20
    assert refused is not None and "another thread" in refused
    # Free again once the other read ended.
    assert lines_of(reader.read(sample_grey)) == sample_lines


def test_version_and_formats():
    assert strixa.__version__ == _strixa.header_version
    assert strixa.__version__.split(".")[0] == "3"
    assert strixa.reads_format("bmp") is True
    assert strixa.reads_format("gif") is False


FAULTS_PER_READ = r"""
import io, resource, sys
from PIL import Image
import strixa
page = Image.new("L", (2000, 2000), 236)
encoded = io.BytesIO()
page.save(encoded, "PNG")
data = encoded.getvalue()
reader = strixa.Reader(engine="document")  # the page buffer alone; the robust engine's own work
reader.read(data)                          # buffers are not kept yet
before = resource.getrusage(resource.RUSAGE_SELF).ru_minflt
for _ in range(10):
    reader.read(data)
print((resource.getrusage(resource.RUSAGE_SELF).ru_minflt - before) / 10)
"""


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="glibc's allocator and minflt")
def test_a_reader_keeps_its_page_buffer_whatever_the_allocator():
    # Dask's workers set MALLOC_TRIM_THRESHOLD_, after which glibc maps each large block afresh:
    # a page buffer not kept by the reader then faults in its 4 MB (about 1000 pages) every read.
    package_parent = os.path.dirname(os.path.dirname(strixa.__file__))
    env = {**os.environ, "MALLOC_TRIM_THRESHOLD_": "65536",
           "PYTHONPATH": os.pathsep.join([package_parent, os.environ.get("PYTHONPATH", "")])}
    out = subprocess.run([sys.executable, "-c", FAULTS_PER_READ], env=env, check=True,
                         capture_output=True, text=True).stdout
    assert float(out) < 200
