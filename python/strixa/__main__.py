# SPDX-License-Identifier: Apache-2.0
"""python3 -m strixa [--fine] [--symbologies=LIST] [--engine=NAME] FILES...: the records of
strixa-batch --format=jsonl for the files, in their order, on standard output."""

from __future__ import annotations

import os
import sys
from typing import List, Optional

from . import DEFAULT_ENGINE, ENGINES, SYMBOLOGIES, Reader, _records

USAGE = f"""usage: python3 -m strixa [--fine] [--symbologies=LIST] [--engine=NAME] FILES...
Writes one JSON line per barcode found in FILES, as strixa-batch --format=jsonl does.
  --fine              also scan densely: finds smaller symbols, slower
  --symbologies=LIST  report only these, comma-separated, from
                      {",".join(SYMBOLOGIES)}
  --engine=NAME       {"|".join(ENGINES)}: document for clean scans and pages (fast),
                      robust for photos, both when unsure (default {DEFAULT_ENGINE})
Exit status: 0 something found, 1 nothing found, 2 a file could not be read, 64 usage.
"""

EXIT_FOUND, EXIT_NOTHING_FOUND, EXIT_UNREADABLE, EXIT_USAGE = 0, 1, 2, 64


def _usage_error(message: str) -> int:
    sys.stderr.write(f"strixa: {message}\nTry 'python3 -m strixa --help' for more information.\n")
    return EXIT_USAGE


def main(arguments: Optional[List[str]] = None) -> int:
    arguments = sys.argv[1:] if arguments is None else arguments
    fine = False
    symbologies = None
    engine = DEFAULT_ENGINE
    files = []
    ended = False
    for argument in arguments:
        if ended or argument == "-" or not argument.startswith("-"):
            files.append(argument)
        elif argument == "--":
            ended = True
        elif argument == "--fine":
            fine = True
        elif argument.startswith("--symbologies="):
            symbologies = argument[len("--symbologies="):].split(",")
            if any(name not in SYMBOLOGIES for name in symbologies):
                return _usage_error(f"unknown symbology in {argument!r}")
        elif argument.startswith("--engine="):
            engine = argument[len("--engine="):]
            if engine not in ENGINES:
                return _usage_error(f"unknown engine in {argument!r}")
        elif argument in ("--help", "-h"):
            sys.stdout.write(USAGE)
            return EXIT_FOUND
        else:
            return _usage_error(f"unknown option {argument!r}")
    if not files:
        return _usage_error("no files given")
    reader = Reader(fine=fine, symbologies=symbologies, engine=engine)
    output = sys.stdout.buffer
    found = unreadable = False
    for path in files:
        for record in _records.read_file_records(reader, path,
                                                 "is a directory (-r reads its files)"):
            output.write(_records.format_record(record).encode("utf-8"))
            if "error" in record:
                unreadable = True
                sys.stderr.write(f"strixa: {os.fsencode(path)!r}: {record['error']}\n")
            found = found or "page" in record
        output.flush()
    if unreadable:
        return EXIT_UNREADABLE
    return EXIT_FOUND if found else EXIT_NOTHING_FOUND


if __name__ == "__main__":
    sys.exit(main())
