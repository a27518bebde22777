# SPDX-License-Identifier: Apache-2.0
"""Reads many picture files into a Dask DataFrame, on any Dask scheduler: threads, processes or
a dask.distributed cluster whose workers see the same files.

    import strixa.dask
    frame = strixa.dask.read("/scans/**/*.png", fine=True)
    frame.to_parquet("/results/barcodes")

Each partition reads a few files with a Reader of its own (which keeps its page buffer from file
to file); how many is chosen from the file count and the workers' threads, so that every thread
gets several partitions and each partition enough files to make its task's cost small beside
the reading. Nothing is dropped silently: a file
gives one row per barcode, or one row with ``barcodes`` 0 when nothing was found, or one row
with its ``error`` (after the rows of the pages read before it).
"""

from __future__ import annotations

import glob as _glob
import os
import sys
from typing import Any, Dict, Iterable, List, Optional, Sequence, Union

import dask.dataframe as _dd
import numpy as _np
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
    columns: Dict[str, List[Any]] = {name: [] for name in COLUMNS}
    for path in paths:
        for record in _records.read_file_records(reader, path):
            for name, values in columns.items():
                values.append(record.get(name))
    if not columns["file"]:
        return _empty_frame()
    # Each column made in its dtype at once: converting a frame of objects afterwards (astype)
    # costs about as much as reading a page.
    return _pd.DataFrame({name: _column(values, COLUMNS[name]) for name, values in columns.items()},
                         copy=False)


def _column(values: List[Any], dtype: str) -> Any:
    count = len(values)
    if dtype == "Int64":
        missing = _np.fromiter((value is None for value in values), bool, count)
        numbers = _np.fromiter((0 if value is None else value for value in values), _np.int64,
                               count)
        return _pd.arrays.IntegerArray(numbers, missing)
    if dtype == "Float64":
        missing = _np.fromiter((value is None for value in values), bool, count)
        numbers = _np.fromiter((0.0 if value is None else value for value in values), _np.float64,
                               count)
        return _pd.arrays.FloatingArray(numbers, missing)
    column = _np.empty(count, dtype=object)
    column[:] = values
    return column


#: Bounds of the files a partition reads when the caller does not say: a task costs a few
#: milliseconds of scheduling and transfer, a page tens of them, and the last partition to end
#: decides the wall time.
MAX_FILES_PER_PARTITION = 16
PARTITIONS_PER_THREAD = 4


def files_per_partition_for(files: int, threads: int) -> int:
    """Files a partition reads when read() is not told: enough partitions for every thread to
    take several (so one slow file does not hold the end), at most MAX_FILES_PER_PARTITION."""
    wanted = -(-files // max(1, threads * PARTITIONS_PER_THREAD))
    return max(1, min(MAX_FILES_PER_PARTITION, wanted))


def _worker_threads() -> int:
    # The threads of the dask.distributed cluster in use, if any; otherwise this machine's
    # cores, as the local schedulers use.
    distributed = sys.modules.get("distributed")
    if distributed is not None:
        try:
            client = distributed.default_client()
            if not client.asynchronous:
                threads = sum(client.nthreads().values())
                if threads > 0:
                    return threads
        except Exception:  # no client, or no answer from its scheduler: count the cores
            pass
    return os.cpu_count() or 1


def _expand(paths_or_glob: Union[str, "os.PathLike[str]", Iterable[Any]]) -> List[str]:
    if isinstance(paths_or_glob, (str, os.PathLike)):
        pattern = os.fspath(paths_or_glob)
        if _glob.has_magic(pattern):
            return sorted(_glob.glob(pattern, recursive=True))
        return [pattern]
    return [os.fspath(path) for path in paths_or_glob]


def read(paths_or_glob: Union[str, "os.PathLike[str]", Iterable[Any]], *,
         files_per_partition: Optional[int] = None, **reader_options: Any) -> _dd.DataFrame:
    """A Dask DataFrame of the barcodes in the files, one row per barcode (see COLUMNS).

    paths_or_glob is a list of paths, or one path or glob pattern ("scans/**/*.tif", sorted);
    files_per_partition sets how many files each task reads (None: chosen from the file count
    and the threads of the cluster in use, see files_per_partition_for); reader_options are those
    of strixa.Reader (fine, symbologies, pages, pdf_dpi, engine: "both" unless given, as
    strixa-batch's). Paths must be readable where the work
    runs: on a cluster, storage every worker sees under the same names.
    """
    if files_per_partition is not None and files_per_partition < 1:
        raise ValueError("files_per_partition must be at least 1")
    Reader(**reader_options)  # bad options fail here, not in every task
    paths = _expand(paths_or_glob)
    if not paths:
        raise ValueError(f"no files in {paths_or_glob!r}")
    if files_per_partition is None:
        files_per_partition = files_per_partition_for(len(paths), _worker_threads())
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
