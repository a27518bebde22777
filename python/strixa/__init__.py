# SPDX-License-Identifier: Apache-2.0
"""Reads one-dimensional barcodes (EAN-13, UPC-A, EAN-8, Code 128 / EAN-128, Code 39, 2 of 5,
interleaved 2 of 5) from pictures: files, encoded bytes, numpy arrays and Pillow images.

    import strixa
    for barcode in strixa.read("page.png"):
        print(barcode.label, barcode.text, barcode.x, barcode.y)

strixa.read makes a reader for one call; strixa.Reader is kept for many. Reads run without the
GIL, so threads, each with its own Reader, read in parallel. strixa.dask reads many files into a
Dask DataFrame; ``python3 -m strixa FILES...`` writes the records of
``strixa-batch --format=jsonl``.
"""

from __future__ import annotations

import dataclasses
import os
import sys
from dataclasses import dataclass
from typing import Any, Iterable, List, Optional, Tuple, Union

from . import _strixa

__all__ = [
    "Barcode",
    "Reader",
    "read",
    "reads_format",
    "SYMBOLOGIES",
    "ENGINES",
    "Error",
    "ArgumentError",
    "NoMemoryError",
    "FileError",
    "FormatError",
    "InternalError",
    "LimitError",
    "__version__",
]

__version__: str = _strixa.version()

#: The symbology names a Reader takes, as strixa-batch --symbologies names them, by library bit.
SYMBOLOGIES = {
    "ean13": 1 << 0,
    "upca": 1 << 1,
    "ean8": 1 << 2,
    "code128": 1 << 3,
    "ean128": 1 << 4,
    "code39": 1 << 5,
    "2of5": 1 << 6,
    "itf": 1 << 7,
}


#: The engines a Reader takes: "document" for clean scans and pages (fast), "robust" for photos
#: (grey or uneven paper, blur, turned symbols, light bars on dark, no margin), "both" when unsure.
ENGINES = {
    "document": _strixa.ENGINE_DOCUMENT,
    "robust": _strixa.ENGINE_ROBUST,
    "both": _strixa.ENGINE_BOTH,
}

#: strixa-batch's default, so python3 -m strixa and strixa.dask write the same records.
DEFAULT_ENGINE = "both"


class Error(Exception):
    """A read that failed. ``status`` is the library's status number, ``message`` its words, and
    ``barcodes`` what was read before the failure (earlier pages of a multi-page file), so nothing
    read is lost."""

    status: int = 0

    def __init__(self, message: str, barcodes: Optional[List["Barcode"]] = None) -> None:
        super().__init__(message)
        self.message = message
        self.barcodes: List[Barcode] = barcodes if barcodes is not None else []


class ArgumentError(Error, ValueError):
    """An option or a picture the library refuses (a bad size, page range or resolution)."""

    status = 1


class NoMemoryError(Error, MemoryError):
    """Memory ran short."""

    status = 2


class FileError(Error, OSError):
    """The file cannot be opened or read."""

    status = 3


class FormatError(Error):
    """The bytes are not a picture this build reads."""

    status = 4


class InternalError(Error):
    """An unexpected failure inside the library."""

    status = 5


class LimitError(Error):
    """The picture passes a limit: size, pages, memory or time."""

    status = 6


_errors = {cls.status: cls for cls in (ArgumentError, NoMemoryError, FileError, FormatError,
                                        InternalError, LimitError)}


@dataclass(frozen=True)
class Barcode:
    """One barcode found.

    symbology     the strixa-batch --symbologies name: ean13, upca, ean8, code128, ean128,
                  code39, 2of5 or itf
    label         as the command line strixa prints it: EAN13, UPC-A, EAN8, CODE128, EAN128,
                  CODE39, 2/5 or 2/5i
    text          as strixa prints it (EAN digits split by a space, Code 128 control and function
                  characters as <HT>, <FNC1>...)
    data          the bytes the symbol encodes, as a scanner sends them after symbology_id
    symbology_id  the AIM identifier, "]E0", "]C1"...
    x, y, width, height
                  the rectangle in pixels, x and y from 1 at the top left (strixa /P's)
    orientation   upright, flat, upright-reversed or flat-reversed
    page          the page of the file, from 1
    corners       four (x, y) points in reading order: where the first bar starts (top as read),
                  where the last bar ends, then that end's bottom, then the first bar's bottom;
                  from the top-left corner of the top-left pixel
    angle         the reading direction in degrees clockwise from the x axis: 0 upright, 90 flat,
                  180 upright reversed, 270 flat reversed
    """

    symbology: str
    label: str
    text: str
    data: bytes
    symbology_id: str
    x: int
    y: int
    width: int
    height: int
    orientation: str
    page: int
    corners: Tuple[Tuple[float, float], Tuple[float, float], Tuple[float, float],
                   Tuple[float, float]]
    angle: float


def _symbology_bits(symbologies: Union[None, str, Iterable[str]]) -> int:
    if symbologies is None:
        return _strixa.ALL_SYMBOLOGIES
    if isinstance(symbologies, str):
        symbologies = symbologies.split(",")
    bits = 0
    for name in symbologies:
        if not isinstance(name, str):
            raise TypeError(f"a symbology is named by a str, not {type(name).__name__}")
        bit = SYMBOLOGIES.get(name.lower())
        if bit is None:
            raise ValueError(f"unknown symbology {name!r}; known: {', '.join(SYMBOLOGIES)}")
        bits |= bit
    return bits


def _pillow_image_type() -> Any:
    image = sys.modules.get("PIL.Image")
    return getattr(image, "Image", None)


def _numpy_array_type() -> Any:
    numpy = sys.modules.get("numpy")
    return getattr(numpy, "ndarray", None)


class Reader:
    """A reader kept for many reads, with its options.

    fine         also run the denser scan (strixa /F), which finds smaller symbols; slower. It
                 never finds less than the normal scan.
    symbologies  the names to report (see SYMBOLOGIES), as a set, a list or "ean13,code128";
                 None for every one.
    pages        (first, count) of a multi-page file (TIFF, PDF), from 1; count 0 reads to the
                 last page. None for every page.
    pdf_dpi      the resolution PDF pages are drawn at, 10 to 2400.
    engine       "document" (the document pipeline: clean scans and pages, fast), "robust" (the
                 second engine: photos, grey or uneven paper, blur, turned symbols, light bars on
                 dark) or "both" (a symbol both read is reported once, the document pipeline's
                 results first); "both" by default, as strixa-batch's.

    A Reader is used by one thread at a time: give each thread its own (a second thread reading
    with a Reader in use gets a ValueError rather than a race). Reads release the GIL, so threads
    with their own Readers read in parallel.
    """

    def __init__(self, *, fine: bool = False,
                 symbologies: Union[None, str, Iterable[str]] = None,
                 pages: Optional[Tuple[int, int]] = None, pdf_dpi: int = 300,
                 engine: str = DEFAULT_ENGINE) -> None:
        self._options = {"fine": bool(fine), "symbologies": symbologies, "pages": pages,
                         "pdf_dpi": pdf_dpi, "engine": engine}
        if not isinstance(engine, str) or engine not in ENGINES:
            raise ValueError(f"unknown engine {engine!r}; known: {', '.join(ENGINES)}")
        self._reader = _strixa.Reader(bool(fine), _symbology_bits(symbologies))
        _check(self._reader.set_engine(ENGINES[engine]))
        if pages is not None:
            try:
                first, count = pages
            except (TypeError, ValueError):
                raise TypeError("pages is a (first, count) pair") from None
            _check(self._reader.set_pages(int(first), int(count)))
        _check(self._reader.set_pdf_dpi(int(pdf_dpi)))
        # Barcodes are then made in the extension, fields filled as _barcode_fields lists them.
        self._reader.set_barcode_type(Barcode, _barcode_fields)

    def __repr__(self) -> str:
        options = ", ".join(f"{k}={v!r}" for k, v in self._options.items())
        return f"strixa.Reader({options})"

    def read(self, source: Any) -> List[Barcode]:
        """Reads the barcodes of source, in the order strixa prints them.

        source is one of:
          - a path (str or os.PathLike): a file of any format this build reads (BMP
            always; PNG, JPEG, TIFF, PNM, WebP and PDF when built in), told by its first bytes;
            every page of a TIFF or PDF, each barcode with its page;
          - bytes, bytearray or memoryview: a whole encoded file in memory;
          - a numpy array of uint8: 2-D grey (height, width), or 3-D (height, width, 3) RGB or
            (height, width, 4) RGBA. Any strides: rows may be far apart or run bottom up (a
            slice with a step, a negative step) without a copy, and so may RGB with its channels
            reversed ([..., ::-1], read as BGR). A copy is made only when pixels of a row are not
            next to each other (a transposed view, a step across columns) or RGBA channels are
            reversed, as the library takes a row stride but no pixel step of its own;
          - a Pillow image: L, RGB and RGBA as they are (one copy, Pillow's tobytes), other modes
            through Image.convert ("L" for grey ones, "RGB" for the rest).

        Raises an Error subclass by the library's status (ArgumentError, FileError,
        FormatError, LimitError...), carrying its message; TypeError for a source of another
        type, ValueError for an array of the wrong shape.
        """
        reader = self._reader
        if isinstance(source, (str, os.PathLike)):
            outcome = reader.read_file(os.fsencode(source))
        elif isinstance(source, (bytes, bytearray, memoryview)):
            outcome = reader.read_encoded(source)
        else:
            array_type = _numpy_array_type()
            image_type = _pillow_image_type()
            if array_type is not None and isinstance(source, array_type):
                outcome = reader.read_array(source)
            elif image_type is not None and isinstance(source, image_type):
                outcome = _read_pillow(reader, source)
            else:
                raise TypeError("strixa reads a path, bytes, a numpy array or a Pillow image, "
                                f"not {type(source).__name__}")
        return _check(outcome)


def _read_pillow(reader: Any, image: Any) -> Any:
    formats = {"L": _strixa.GREY8, "RGB": _strixa.RGB24, "RGBA": _strixa.RGBA32}
    if image.mode not in formats:
        grey = len(image.getbands()) == 1 or image.getbands() == ("L", "A")
        image = image.convert("L" if grey else "RGB")
    width, height = image.size
    return reader.read_packed(image.tobytes(), width, height, formats[image.mode])


_barcode_fields = tuple(field.name for field in dataclasses.fields(Barcode))


def _check(outcome: Tuple[int, str, List[Barcode]]) -> List[Barcode]:
    status, message, barcodes = outcome
    if status != 0:
        raise _errors.get(status, Error)(message, barcodes)
    return barcodes


def read(source: Any, **options: Any) -> List[Barcode]:
    """Reads the barcodes of source with a Reader made for this call: strixa.read(source,
    fine=..., symbologies=..., pages=..., pdf_dpi=..., engine=...). See Reader for the options
    and Reader.read for the sources."""
    return Reader(**options).read(source)


def reads_format(name: str) -> bool:
    """Whether this build reads a format: "bmp", "png", "jpeg", "tiff", "pnm", "webp", "pdf"."""
    return _strixa.reads_format(name)
