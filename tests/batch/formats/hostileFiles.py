#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Small files that claim huge or endless pictures, and a check that strixa-batch reads or refuses
each of them within a memory and a time limit.

    hostileFiles.py make DIR [--full]       write the files (--full: the sizes that once took
                                            gigabytes or hours; default: sizes quick to test)
    hostileFiles.py check STRIXA_BATCH [--full] [--memory-mb N] [--seconds N] [--cpu-seconds N]
                                            run strixa-batch on each under those limits (memory
                                            0: none, as sanitizers reserve terabytes; CPU 0:
                                            none)

Only the standard library: every file is written byte by byte.
"""

import argparse
import os
import resource
import signal
import struct
import subprocess
import sys
import tempfile
import zlib


class BitWriter:
    """JPEG entropy-coded bits, most significant first, with 0xFF bytes stuffed."""

    def __init__(self):
        self.out = bytearray()
        self.bits = 0
        self.count = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.bits = (self.bits << 1) | ((value >> i) & 1)
            self.count += 1
            if self.count == 8:
                self.out.append(self.bits)
                if self.bits == 0xFF:
                    self.out.append(0)
                self.bits = 0
                self.count = 0

    def zeros(self, count):
        # Whole zero bytes at once: a DC scan of millions of blocks.
        while count and self.count:
            self.put(0, 1)
            count -= 1
        self.out += bytes(count // 8)
        self.put(0, count % 8)

    def finish(self):
        if self.count:
            self.put(0x7F, 8 - self.count)
        return bytes(self.out)


def segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def jpeg_tables():
    dqt = segment(0xDB, b"\x00" + bytes([1] * 64))
    # DC: one code "0" for category 0. AC: the end-of-band runs EOB0..EOB14 as 4-bit codes.
    dc = segment(0xC4, b"\x00" + bytes([1] + [0] * 15) + b"\x00")
    ac_symbols = bytes(r << 4 for r in range(15))
    ac = segment(0xC4, b"\x10" + bytes([0, 0, 0, 15] + [0] * 12) + ac_symbols)
    return dqt + dc + ac


def sof(marker, width, height, components):
    payload = struct.pack(">BHHB", 8, height, width, len(components))
    for index, sampling in enumerate(components):
        payload += bytes([index + 1, sampling, 0])
    return segment(marker, payload)


def sos(count, ss, se):
    payload = bytes([count]) + b"".join(bytes([i + 1, 0x00]) for i in range(count))
    return segment(0xDA, payload + bytes([ss, se, 0]))


def end_of_band_runs(blocks):
    """AC-first scan data covering `blocks` empty blocks with end-of-band runs."""
    writer = BitWriter()
    while blocks > 0:
        run = min(blocks, 32767)
        r = run.bit_length() - 1
        writer.put(r, 4)
        writer.put(run - (1 << r), r)
        blocks -= run
    return writer.finish()


def progressive_jpeg(side, ac_scans):
    """A grey progressive JPEG whose AC scan is repeated: each repeat is a pass over every block."""
    blocks = ((side + 7) // 8) ** 2
    dc = BitWriter()
    dc.zeros(blocks)
    out = b"\xff\xd8" + jpeg_tables() + sof(0xC2, side, side, [0x11])
    out += sos(1, 0, 0) + dc.finish()
    ac = sos(1, 1, 63) + end_of_band_runs(blocks)
    return out + ac * ac_scans + b"\xff\xd9"


def cut_jpeg(marker, side):
    """A colour JPEG header claiming side x side, cut right after its first scan header."""
    count = 1 if marker == 0xC2 else 3
    return (b"\xff\xd8" + jpeg_tables() + sof(marker, side, side, [0x22, 0x11, 0x11]) +
            sos(count, 0, 0 if marker == 0xC2 else 63))


def tiff(entries, data):
    """A little-endian TIFF with one IFD of (tag, type, values) after the header and data."""
    ifd_offset = 8 + len(data) + (len(data) & 1)
    body = b"II*\x00" + struct.pack("<I", ifd_offset) + data + b"\x00" * (len(data) & 1)
    extra = b""
    extra_offset = ifd_offset + 2 + 12 * len(entries) + 4
    fields = b""
    for tag, kind, values in sorted(entries):
        packed = struct.pack("<" + ("H" if kind == 3 else "I") * len(values), *values)
        if len(packed) <= 4:
            fields += struct.pack("<HHI", tag, kind, len(values)) + packed.ljust(4, b"\x00")
        else:
            fields += struct.pack("<HHII", tag, kind, len(values), extra_offset + len(extra))
            extra += packed
    return body + struct.pack("<H", len(entries)) + fields + b"\x00" * 4 + extra


def rgb_tiff_one_strip(side):
    """side x side RGB in one deflate strip of zeros: tiny for the picture it holds."""
    packer = zlib.compressobj(9)
    row = bytes(side * 3)
    data = b"".join(packer.compress(row) for _ in range(side)) + packer.flush()
    entries = [(256, 4, [side]), (257, 4, [side]), (258, 3, [8, 8, 8]), (259, 3, [8]),
               (262, 3, [2]), (273, 4, [8]), (277, 3, [3]), (278, 4, [side]),
               (279, 4, [len(data)]), (284, 3, [1])]
    return tiff(entries, data)


def tiled_tiff_pages(side, pages):
    """Many side x side grey tiled pages, every tile the same deflated block of zeros."""
    tile = 256
    tile_data = zlib.compress(bytes(tile * tile), 9)
    tiles = ((side + tile - 1) // tile) ** 2
    out = bytearray(b"II*\x00\x00\x00\x00\x00")
    data_at = len(out)
    out += tile_data
    offsets_at = len(out)
    out += struct.pack("<I", data_at) * tiles
    counts_at = len(out)
    out += struct.pack("<I", len(tile_data)) * tiles
    next_link = 4
    for _ in range(pages):
        if len(out) & 1:
            out.append(0)
        struct.pack_into("<I", out, next_link, len(out))
        entries = [(256, 4, side), (257, 4, side), (258, 3, 8), (259, 3, 8), (262, 3, 1),
                   (277, 3, 1), (322, 4, tile), (323, 4, tile)]
        fields = [struct.pack("<HHII", t, k, 1, v) if k == 4 else
                  struct.pack("<HHIHH", t, k, 1, v, 0) for t, k, v in entries]
        fields.append(struct.pack("<HHII", 324, 4, tiles, offsets_at))
        fields.append(struct.pack("<HHII", 325, 4, tiles, counts_at))
        out += struct.pack("<H", len(fields)) + b"".join(fields)
        next_link = len(out)
        out += b"\x00" * 4
    return bytes(out)


class LsbWriter:
    """Bits least significant first, as lossless WebP packs them."""

    def __init__(self):
        self.value = 0
        self.count = 0

    def put(self, value, length):
        self.value |= value << self.count
        self.count += length

    def finish(self):
        return self.value.to_bytes((self.count + 7) // 8, "little")


def lossless_webp(side):
    """A lossless WebP with alpha whose five prefix codes hold one symbol each: no bits a pixel."""
    bits = LsbWriter()
    bits.put(0x2F, 8)
    bits.put(side - 1, 14)
    bits.put(side - 1, 14)
    bits.put(1, 1)  # alpha used
    bits.put(0, 3)  # version
    bits.put(0, 1)  # no transform
    bits.put(0, 1)  # no colour cache
    bits.put(0, 1)  # no meta prefix codes
    for _ in range(5):
        bits.put(1, 1)  # simple code
        bits.put(0, 1)  # one symbol
        bits.put(1, 1)  # of eight bits
        bits.put(0, 8)
    payload = bits.finish()
    chunk = b"VP8L" + struct.pack("<I", len(payload)) + payload + b"\x00" * (len(payload) & 1)
    return b"RIFF" + struct.pack("<I", 4 + len(chunk)) + b"WEBP" + chunk


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def palette_png(side):
    """A 1-bit palette PNG with transparency, every row zeros."""
    packer = zlib.compressobj(9)
    row = bytes(1 + (side + 7) // 8)
    data = b"".join(packer.compress(row) for _ in range(side)) + packer.flush()
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 1, 3, 0, 0, 0))
            + png_chunk(b"PLTE", b"\x00\x00\x00\xff\xff\xff") + png_chunk(b"tRNS", b"\x80")
            + png_chunk(b"IDAT", data) + png_chunk(b"IEND", b""))


def png_with_texts(count):
    """A valid 8 x 8 grey PNG behind `count` text chunks."""
    data = zlib.compress(b"".join(b"\x00" + b"\xff" * 8 for _ in range(8)))
    text = png_chunk(b"tEXt", b"k\x00v")
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", 8, 8, 8, 0, 0, 0, 0))
            + text * count + png_chunk(b"IDAT", data) + png_chunk(b"IEND", b""))


def pdf(objects):
    """A PDF of the given object bodies, numbered from 1, with a correct cross-reference table."""
    out = b"%PDF-1.4\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    return out


def stream(dictionary, content):
    return b"<< %s /Length %d >>\nstream\n%s\nendstream" % (dictionary, len(content), content)


def nested_forms_pdf(depth, fan_out, leaf=b"0 0 100 100 re f"):
    """Forms nested `depth` deep, each drawing the next `fan_out` times: fan_out ** depth times
    the leaf's operators."""
    first_form = 4
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents %d 0 R "
               b"/Resources << /XObject << /F %d 0 R >> >> >>" % (first_form + depth, first_form)]
    for level in range(depth):
        if level + 1 < depth:
            resources = b"/Resources << /XObject << /F %d 0 R >> >>" % (first_form + level + 1)
            content = b"q /F Do Q " * fan_out
        else:
            resources = b""
            content = leaf
        objects.append(stream(b"/Type /XObject /Subtype /Form /BBox [0 0 200 200] " + resources,
                              content))
    objects.append(stream(b"", b"/F Do"))
    return pdf(objects)


def damaged_forms_pdf(depth, fan_out, draws, padding=0):
    """Forms nested `depth` deep, each drawing the next `fan_out` times, the last drawing `draws`
    times a form whose dictionary never closes: the renderer parses the rest of the file again,
    and complains, on every lookup of it. `padding` numbers after it make each parse longer."""
    first_form = 4
    broken = first_form + depth
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents %d 0 R "
               b"/Resources << /XObject << /F %d 0 R >> >> >>" % (broken + 1, first_form)]
    for level in range(depth):
        if level + 1 < depth:
            resources = b"/XObject << /F %d 0 R >>" % (first_form + level + 1)
            content = b"/F Do " * fan_out
        else:
            resources = b"/XObject << /B %d 0 R >>" % broken
            content = b"/B Do " * draws
        objects.append(stream(b"/Type /XObject /Subtype /Form /BBox [0 0 200 200] /Resources << "
                              + resources + b" >>", content))
    objects.append(b"<< /Type /XObject /Subtype /Form /BBox [0 0 9 9 /Length 5 >>\nstream\n"
                   b"0 0 1 1 re f\nendstream")
    objects.append(stream(b"", b"/F Do " * fan_out))
    if padding:
        objects.append(b"[" + b"0 " * padding + b"]")
    return pdf(objects)


def big_pages_pdf(pages, points):
    kids = b" ".join(b"%d 0 R" % (3 + 2 * i) for i in range(pages))
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [%s] /Count %d >>" % (kids, pages)]
    for i in range(pages):
        objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Contents %d 0 R >>"
                       % (points, points, 4 + 2 * i))
        objects.append(stream(b"", b"0 0 10 10 re f"))
    return pdf(objects)


def wrapping_pgm():
    # 4294967868 and 4294967576 are 572 and 280 once cut to 32 bits.
    return b"P5 4294967868 4294967576 255\n" + bytes(572 * 280)


# name: (the file's bytes, what strixa-batch must say: a part of its error, or "" for a read,
# and the options it is run with). The full sizes are those that once took gigabytes or hours.
def cases(full):
    return {
        "progressive-scans.jpg": (lambda: progressive_jpeg(8192 if full else 2048, 990),
                                  "too much work", []),
        "cut-baseline.jpg": (lambda: cut_jpeg(0xC0, 16384), "data too short", []),
        "cut-progressive.jpg": (lambda: cut_jpeg(0xC2, 16384), "data too short", []),
        "one-strip.tif": (lambda: rgb_tiff_one_strip(16384 if full else 2048), "", []),
        "tiled-pages.tif": (lambda: tiled_tiff_pages(4096 if full else 1024,
                                                     100000 if full else 400),
                            "budget of", [] if full else ["--max-megapixels=64"]),
        "lossless-alpha.webp": (lambda: lossless_webp(16383), "data too short", []),
        "palette-trns.png": (lambda: palette_png(16384 if full else 8192), "", []),
        "many-texts.png": (lambda: png_with_texts(200000 if full else 20000), "", []),
        "nested-forms.pdf": (lambda: nested_forms_pdf(9, 10), "too much drawing", []),
        "busy-forms.pdf": (lambda: nested_forms_pdf(4, 39, b"q Q " * 300), "too much drawing",
                           []),
        "damaged-forms.pdf": (lambda: damaged_forms_pdf(2, 40, 60), "damaged page", []),
        "damaged-forms-deep.pdf": (lambda: damaged_forms_pdf(3, 40, 60), "damaged page", []),
        "damaged-forms-long.pdf": (lambda: damaged_forms_pdf(2, 40, 60, 100000), "damaged page",
                                   []),
        "big-pages.pdf": (lambda: big_pages_pdf(20, 3930 if full else 1000), "budget of",
                          [] if full else ["--max-megapixels=64"]),
        "poster-page.pdf": (lambda: big_pages_pdf(1, 3930), "too large to render", []),
        "wrapping.pgm": (wrapping_pgm, "damaged header", []),
    }


def make(directory, full):
    os.makedirs(directory, exist_ok=True)
    for name, (build, _, _) in cases(full).items():
        with open(os.path.join(directory, name), "wb") as file:
            file.write(build())


def check(binary, full, memory_mb, seconds, cpu_seconds):
    failures = 0

    def limit():
        if memory_mb:
            resource.setrlimit(resource.RLIMIT_AS, (memory_mb << 20, memory_mb << 20))
        if cpu_seconds:
            # Past the soft limit the kernel ends the process with SIGXCPU.
            resource.setrlimit(resource.RLIMIT_CPU, (cpu_seconds, cpu_seconds + 1))

    def run(arguments, stdin=None):
        return subprocess.run([binary] + arguments, stdin=stdin, capture_output=True,
                              timeout=seconds, preexec_fn=limit)

    with tempfile.TemporaryDirectory() as directory:
        make(directory, full)
        for name, (_, expected, options) in cases(full).items():
            path = os.path.join(directory, name)
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            try:
                result = run(["--no-progress"] + options + [path])
            except subprocess.TimeoutExpired:
                print(f"FAIL {name}: still running after {seconds} s")
                failures += 1
                continue
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
            errors = result.stderr.decode(errors="replace")
            if expected:
                good = result.returncode == 2 and expected in errors
            else:
                good = result.returncode in (0, 1) and not errors
            if result.returncode == -signal.SIGXCPU:
                errors = f"killed after {cpu_seconds} s of CPU"
            print(f"{'ok  ' if good else 'FAIL'} {name}: exit {result.returncode}, {cpu:.2f} s CPU "
                  f"{errors.strip()}")
            failures += not good
    print(f"{len(cases(full)) - failures} passed, {failures} failed")
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("action", choices=["make", "check"])
    parser.add_argument("target", help="directory to write, or strixa-batch to check")
    parser.add_argument("--full", action="store_true")
    parser.add_argument("--memory-mb", type=int, default=512, help="0: no limit (sanitizers)")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--cpu-seconds", type=int, default=0, help="0: no limit")
    arguments = parser.parse_args()
    if arguments.action == "make":
        make(arguments.target, arguments.full)
        return 0
    return check(arguments.target, arguments.full, arguments.memory_mb, arguments.seconds,
                 arguments.cpu_seconds)


if __name__ == "__main__":
    sys.exit(main())
