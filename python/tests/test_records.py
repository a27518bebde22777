# SPDX-License-Identifier: Apache-2.0
"""python3 -m strixa and strixa.dask against strixa-batch --format=jsonl on the same files."""

import json
import os
import shutil
import subprocess
import sys

import pytest
from PIL import Image

import strixa
from strixa import _records
from conftest import SAMPLE, program


@pytest.fixture(scope="module")
def files(tmp_path_factory, drawn_pages):
    """Pictures with barcodes, without, unreadable and missing, some under names that need
    escaping (quotes, tab, DEL, bytes that are not UTF-8)."""
    folder = tmp_path_factory.mktemp("files")
    names = [b"plain.bmp", b'q"uo\\te\tx.bmp', b"caf\xe9.bmp", b"\xe2\x82cut.bmp",
             "\u00e9t\u00e9.bmp".encode(), b"del\x7f.bmp"]
    paths = []
    for name in names:
        path = os.path.join(os.fsencode(folder), name)
        shutil.copyfile(SAMPLE, path)
        paths.append(path)
    blank = folder / ("blank.png" if strixa.reads_format("png") else "blank.bmp")
    Image.new("L", (200, 100), 255).save(blank)
    bad = folder / "bad.bmp"
    bad.write_bytes(b"BM" + b"\0" * 60)
    paths += [os.fsencode(p) for p in (blank, bad, drawn_pages[0])]
    return paths


def batch_output(paths, *options):
    done = subprocess.run([program("STRIXA_BATCH"), "--format=jsonl", "--no-progress",
                           "--no-summary", *options, *paths], capture_output=True)
    return done.returncode, done.stdout


def module_output(paths, *options):
    done = subprocess.run([sys.executable, "-m", "strixa", *options, *paths],
                          capture_output=True)
    return done.returncode, done.stdout


@pytest.mark.parametrize("options", [(), ("--fine",), ("--symbologies=ean13,itf,upca",)])
def test_command_line_writes_the_records_of_strixa_batch(files, options):
    status, output = module_output(files, *options)
    assert (status, output) == batch_output(files, *options)
    assert status == 2 and output.count(b"\n") >= 8


def test_command_line_reports_files_it_cannot_open_as_strixa_batch(tmp_path):
    unreadable = tmp_path / "unreadable.bmp"
    shutil.copyfile(SAMPLE, unreadable)
    unreadable.chmod(0)
    paths = [str(tmp_path / "missing.bmp"), str(tmp_path), str(unreadable)]
    status, output = module_output(paths)
    assert (status, output) == batch_output(paths)
    # root reads a file whatever its mode.
    assert output.count(b'"error"') == (3 if os.geteuid() != 0 else 2)


@pytest.mark.parametrize("files_named,status", [(["blank"], 1), (["plain"], 0)])
def test_command_line_exit_status(files, files_named, status):
    chosen = [p for p in files if any(os.path.basename(p).startswith(n.encode())
                                      for n in files_named)]
    assert module_output(chosen)[0] == status == batch_output(chosen)[0]


@pytest.mark.parametrize("arguments", [[], ["--symbologies=qr", "x.bmp"], ["--colour", "x.bmp"],
                                       ["--engine=fast", "x.bmp"], ["--engine=", "x.bmp"]])
def test_command_line_usage_errors(arguments):
    status, output = module_output(arguments)
    assert (status, output) == (64, b"")


@pytest.mark.parametrize("options,status,records", [((), 0, 8), (("--engine=both",), 0, 8),
                                                     (("--engine=robust",), 0, 8),
                                                     (("--engine=document",), 1, 1)])
def test_command_line_engine(tmp_path, sample_grey, options, status, records):
    # Light bars on dark: only the robust engine reads them, and both by default.
    negative = tmp_path / "negative.bmp"
    Image.fromarray(255 - sample_grey).save(negative)
    done, output = module_output([negative], *options)
    assert (done, output.count(b"\n")) == (status, records)


# Written out as strixa-batch writes them.
quoted = [
    (b"plain", '"plain"'),
    (b'a"b\\c', '"a\\"b\\\\c"'),
    (b"\t\n\r", '"\\t\\n\\r"'),
    (b"\x08\x0c\x1f\x7f", '"\\u0008\\u000c\\u001f\\u007f"'),
    (b"\xe2\x82x", '"\ufffd\ufffdx"'),
    (b"\xc0\xafz", '"\ufffd\ufffdz"'),
    (b"\xed\xa0\x80", '"\ufffd\ufffd\ufffd"'),
    ("\u00e9\u2028".encode(), '"\u00e9\u2028"'),
]


@pytest.mark.parametrize("raw,expected", quoted)
def test_json_strings_escape_as_strixa_batch(raw, expected):
    assert _records.quote_json(raw) == expected


def test_data_bytes_keep_their_numbers():
    assert _records.data_text(b"\x00\xe9\x1d") == "\x00\u00e9\x1d"


def as_set(records):
    return {json.dumps(record, sort_keys=True) for record in records}


@pytest.fixture(scope="module")
def dask_files(files, drawn_pages):
    paths = [os.fsdecode(p) for p in files if b"plain" in p or b"blank" in p or b"bad" in p]
    return paths + [str(p) for p in drawn_pages]


@pytest.fixture(scope="module")
def batch_records(dask_files):
    output = batch_output(dask_files)[1].decode()
    return as_set(json.loads(line) for line in output.splitlines())


@pytest.fixture(scope="module")
def frame(dask_files):
    import strixa.dask
    return strixa.dask.read(dask_files, files_per_partition=2)


def test_dask_on_a_distributed_cluster_gives_strixa_batch_records(frame, batch_records):
    from dask.distributed import Client, LocalCluster
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None,
                      silence_logs=40) as cluster, Client(cluster):
        computed = frame.compute()
    import strixa.dask
    assert as_set(strixa.dask.to_records(computed)) == batch_records
    # Nothing dropped: one row per barcode, one per file without, one per failure.
    assert len(computed) == len(batch_records)
    assert dict(computed.dtypes.astype(str)) == strixa.dask.COLUMNS


@pytest.mark.parametrize("scheduler", ["threads", "processes", "sync"])
def test_dask_on_local_schedulers_gives_strixa_batch_records(frame, batch_records, scheduler):
    import strixa.dask
    computed = frame.compute(scheduler=scheduler)
    assert as_set(strixa.dask.to_records(computed)) == batch_records


def test_dask_partitions_and_globs(frame, dask_files, drawn_pages):
    import strixa.dask
    assert frame.npartitions == (len(dask_files) + 1) // 2
    pattern = os.path.join(os.path.dirname(drawn_pages[0]), "page-*")
    globbed = strixa.dask.read(pattern, symbologies={"ean8"}).compute(scheduler="sync")
    assert sorted(set(globbed["file"])) == sorted(str(p) for p in drawn_pages
                                                  if p.name.startswith("page-"))
    assert len(set(globbed["file"])) == 3
    assert set(globbed["label"]) == {"EAN8"}
    with pytest.raises(ValueError):
        strixa.dask.read(dask_files, symbologies={"qr"})
    with pytest.raises(ValueError):
        strixa.dask.read(os.path.join(os.path.dirname(drawn_pages[0]), "*.none"))
