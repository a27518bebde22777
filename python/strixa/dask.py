# SPDX-License-Identifier: Apache-2.0
"""Reads many picture files into a Dask DataFrame, on any Dask scheduler: threads, processes or
a dask.distributed cluster whose workers see the same files.

    import strixa.dask
    frame = strixa.dask.read("/scans/**/*.png", fine=True)
    frame.to_parquet("/results/barcodes")

Each partition reads a few files with a Reader of its own. Nothing is dropped silently: a file
gives one row per barcode, or one row with ``barcodes`` 0 when nothing was found, or one row
with its ``error`` (after the rows of the pages read before it).
"""

from __future__ import annotations

import glob as _glob
import os
from typing import Any, Dict, Iterable, List, Sequence, Union

import dask.dataframe as _dd
import pandas as _pd

from . import Reader, _records

__all__ = ["read", "COLUMNS", "to_records"]

#: Columns and their dtypes: the jsonl record's fields. Number columns are nullable (pandas
#: "Int64", "Float64"), empty in the rows of files without barcodes; data is each byte as the
#: character of the same number, as in jsonl; corners a list of four [x, y] lists.
COLUMNS: Dict[str, str] = {
    "file": "object",
    "page": "Int64",
    "symbology": "object",
    "label": "object",
    "text": "object",
    "data": "object",
    "symbology_id": "object",
    "x": "Int64",
    "y": "Int64",
    "width": "Int64",
    "height": "Int64",
    "orientation": "object",
    "corners": "object",
    "angle": "Float64",
    "barcodes": "Int64",
    "error": "object",
}

# Numbers come back from their nullable columns as Python's own.
_FROM_COLUMN = {"Int64": int, "Float64": float}


def _empty_frame() -> _pd.DataFrame:
    return _pd.DataFrame({name: _pd.Series([], dtype=dtype) for name, dtype in COLUMNS.items()})


def _read_partition(paths: Sequence[str], options: Dict[str, Any]) -> _pd.DataFrame:
    # One Reader per partition: partitions may run at once on the threads of one worker.
    reader = Reader(**options)
    rows: List[Dict[str, Any]] = []
    for path in paths:
        for record in _records.read_file_records(reader, path):
            record.pop("schema")
            rows.append(record)
    if not rows:
        return _empty_frame()
    frame = _pd.DataFrame.from_records(rows, columns=list(COLUMNS))
    return frame.astype(COLUMNS)


def _expand(paths_or_glob: Union[str, "os.PathLike[str]", Iterable[Any]]) -> List[str]:
    if isinstance(paths_or_glob, (str, os.PathLike)):
        pattern = os.fspath(paths_or_glob)
        if _glob.has_magic(pattern):
            return sorted(_glob.glob(pattern, recursive=True))
        return [pattern]
    return [os.fspath(path) for path in paths_or_glob]


def read(paths_or_glob: Union[str, "os.PathLike[str]", Iterable[Any]], *,
         files_per_partition: int = 16, **reader_options: Any) -> _dd.DataFrame:
    """A Dask DataFrame of the barcodes in the files, one row per barcode (see COLUMNS).

    paths_or_glob is a list of paths, or one path or glob pattern ("scans/**/*.tif", sorted);
    files_per_partition sets how many files each task reads; reader_options are those of
    strixa.Reader (fine, symbologies, pages, pdf_dpi, engine: "both" unless given, as
    strixa-batch's). Paths must be readable where the work
    runs: on a cluster, storage every worker sees under the same names.
    """
    if files_per_partition < 1:
        raise ValueError("files_per_partition must be at least 1")
    Reader(**reader_options)  # bad options fail here, not in every task
    paths = _expand(paths_or_glob)
    if not paths:
        raise ValueError(f"no files in {paths_or_glob!r}")
    chunks = [paths[i:i + files_per_partition]
              for i in range(0, len(paths), files_per_partition)]
    return _dd.from_map(_read_partition, chunks, options=reader_options, meta=_empty_frame(),
                        label="strixa-read", enforce_metadata=True)


def to_records(frame: _pd.DataFrame) -> List[Dict[str, Any]]:
    """The rows of a computed frame as jsonl records (dicts in strixa-batch's key order)."""
    records = []
    for row in frame.itertuples(index=False):
        values = row._asdict()
        record: Dict[str, Any] = {"schema": _records.SCHEMA, "file": values["file"]}
        if not _pd.isna(values["error"]):
            record["error"] = values["error"]
        elif not _pd.isna(values["barcodes"]):
            record["barcodes"] = int(values["barcodes"])
        else:
            for name in _records.BARCODE_FIELDS:
                value = values[name]
                record[name] = _FROM_COLUMN.get(COLUMNS[name], lambda v: v)(value)
        records.append(record)
    return records
