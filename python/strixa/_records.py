# SPDX-License-Identifier: Apache-2.0
"""Records of files read, as strixa-batch --format=jsonl writes them (the same fields, the same
escaping), shared by the command line (python3 -m strixa) and strixa.dask."""

from __future__ import annotations

import os
import stat
from typing import Any, Dict, List, Optional, Union

from . import Barcode, Error, FileError, Reader

#: The layout version strixa-batch writes in each record's "schema".
SCHEMA = 2

#: Barcode fields in jsonl order after schema and file.
BARCODE_FIELDS = ("page", "symbology", "label", "text", "data", "symbology_id", "x", "y", "width",
                  "height", "orientation", "corners", "angle")

# JSON escapes as strixa-batch writes them: the short forms for LF, CR and tab only, \u00XX for
# the other control characters and DEL.
_escapes = {c: f"\\u{c:04x}" for c in list(range(0x20)) + [0x7F]}
_escapes.update({ord('"'): '\\"', ord("\\"): "\\\\", ord("\n"): "\\n", ord("\r"): "\\r",
                 ord("\t"): "\\t"})


def _decode_utf8(raw: bytes) -> str:
    """UTF-8 with each byte that starts no well-formed sequence as U+FFFD, one per byte, as
    strixa-batch does (Python's own "replace" gives one per ill-formed run)."""
    parts = []
    while raw:
        try:
            parts.append(raw.decode("utf-8"))
            break
        except UnicodeDecodeError as error:
            parts.append(raw[:error.start].decode("utf-8"))
            parts.append("\ufffd")
            raw = raw[error.start + 1:]
    return "".join(parts)


def quote_json(text: Union[str, bytes]) -> str:
    """A JSON string of text: bytes (or a str's bytes, surrogate escapes included) that are not
    UTF-8 come out as U+FFFD."""
    if isinstance(text, str):
        text = text.encode("utf-8", "surrogateescape")
    return '"' + _decode_utf8(text).translate(_escapes) + '"'


def data_text(data: bytes) -> str:
    """Data as jsonl holds it: each byte the character of the same number (ISO 8859-1)."""
    return data.decode("latin-1")


def file_name(path: Union[str, bytes, "os.PathLike[Any]"]) -> str:
    """The file field: the path's bytes, those that are not UTF-8 as U+FFFD."""
    return _decode_utf8(os.fsencode(path))


def open_failure(path: Union[str, bytes, "os.PathLike[Any]"], directory: str) -> Optional[str]:
    """Why a file cannot be opened, in strixa-batch's words (the library's say less), or None.
    Opened without waiting, as a FIFO would block."""
    if os.path.isdir(path):
        return directory
    try:
        descriptor = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY | os.O_CLOEXEC)
    except OSError as failure:
        return "cannot open: " + os.strerror(failure.errno or 0)
    try:
        mode = os.fstat(descriptor).st_mode
    finally:
        os.close(descriptor)
    if stat.S_ISFIFO(mode):
        return "not a regular file (a pipe is read only when named on the command line)"
    return None if stat.S_ISREG(mode) else "not a regular file"


def read_file_records(reader: Reader, path: Union[str, bytes, "os.PathLike[Any]"],
                      directory: str = "is a directory") -> List[Dict[str, Any]]:
    """The records of one file, as dicts in jsonl order: one per barcode, then one with "error"
    if the file failed (after the barcodes of the pages read before), or one with "barcodes": 0
    if it was read whole and held none. directory is the error of a directory."""
    name = file_name(path)
    error: Optional[str] = None
    try:
        barcodes = reader.read(path)
    except Error as failure:
        barcodes, error = failure.barcodes, failure.message
        if isinstance(failure, FileError):
            error = open_failure(path, directory) or error
    records: List[Dict[str, Any]] = [barcode_record(name, barcode) for barcode in barcodes]
    if error is not None:
        records.append({"schema": SCHEMA, "file": name, "error": error})
    elif not barcodes:
        records.append({"schema": SCHEMA, "file": name, "barcodes": 0})
    return records


def barcode_record(name: str, barcode: Barcode) -> Dict[str, Any]:
    return {"schema": SCHEMA, "file": name, "page": barcode.page, "symbology": barcode.symbology,
            "label": barcode.label, "text": barcode.text, "data": data_text(barcode.data),
            "symbology_id": barcode.symbology_id, "x": barcode.x, "y": barcode.y,
            "width": barcode.width, "height": barcode.height,
            "orientation": barcode.orientation,
            "corners": [[x, y] for x, y in barcode.corners], "angle": barcode.angle}


def format_record(record: Dict[str, Any]) -> str:
    """One jsonl line, byte for byte strixa-batch's."""
    fields = [f'"{key}":{_json_value(value)}' for key, value in record.items()]
    return "{" + ",".join(fields) + "}\n"


def _json_value(value: Any) -> str:
    """An integer as it is, a number with one decimal as C's %.1f writes it (corners and angle),
    a list of them in brackets, anything else as a JSON string."""
    if isinstance(value, bool) or not isinstance(value, (int, float, list)):
        return quote_json(value)
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        return f"{value:.1f}"
    return "[" + ",".join(_json_value(item) for item in value) + "]"
