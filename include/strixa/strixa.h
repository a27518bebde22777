/* SPDX-License-Identifier: Apache-2.0 */
/* Strixa: reads one-dimensional barcodes (EAN-13, UPC-A, EAN-8, Code 128 / EAN-128, Code 39,
 * 2 of 5, interleaved 2 of 5) from pictures: pixels in memory, or files of the formats the
 * build reads (strixa_reads_format).
 *
 * A reader is made with strixa_reader_create and released with strixa_reader_destroy. It holds
 * the results of its last read, valid until its next read or its destruction. A reader is used by
 * one thread at a time; separate readers may run on separate threads at once, as the library has
 * no global state. No function throws, aborts or pauses. */
#ifndef STRIXA_STRIXA_H
#define STRIXA_STRIXA_H

#include <stddef.h>

#include "strixa/version.h"

#if defined(_WIN32) && !defined(STRIXA_STATIC)
#if defined(STRIXA_BUILDING_LIBRARY)
#define STRIXA_API __declspec(dllexport)
#else
#define STRIXA_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define STRIXA_API __attribute__((visibility("default")))
#else
#define STRIXA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* What a call returns: 0 on success, otherwise the kind of failure. */
typedef enum strixa_status {
  STRIXA_OK = 0,
  STRIXA_ERROR_ARGUMENT = 1, /* a null pointer, a bad size, stride or format */
  STRIXA_ERROR_MEMORY = 2,   /* memory ran short */
  STRIXA_ERROR_FILE = 3,     /* the file cannot be opened or read */
  STRIXA_ERROR_FORMAT = 4,   /* the file is of no format this build reads, or is damaged */
  STRIXA_ERROR_INTERNAL = 5, /* an unexpected failure inside the library */
  STRIXA_ERROR_LIMIT = 6     /* the picture passes a limit: size, pages, memory or time */
} strixa_status;

/* One bit per symbology; a set of them selects what a reader reports. */
typedef enum strixa_symbology {
  STRIXA_EAN13 = 1 << 0,
  STRIXA_UPCA = 1 << 1,
  STRIXA_EAN8 = 1 << 2,
  STRIXA_CODE128 = 1 << 3,
  STRIXA_EAN128 = 1 << 4,
  STRIXA_CODE39 = 1 << 5,
  STRIXA_TWO_OF_FIVE = 1 << 6,
  STRIXA_INTERLEAVED_TWO_OF_FIVE = 1 << 7
} strixa_symbology;

#define STRIXA_ALL_SYMBOLOGIES 0xFFu

/* How a barcode lies: upright bars are read along a row, flat ones (turned a quarter) along a
 * column; reversed means it was read right to left, or bottom to top. */
typedef enum strixa_orientation {
  STRIXA_UPRIGHT = 0,
  STRIXA_FLAT = 1,
  STRIXA_UPRIGHT_REVERSED = 2,
  STRIXA_FLAT_REVERSED = 3
} strixa_orientation;

/* Layout of pixels in memory; each row starts stride bytes after the previous one. */
typedef enum strixa_pixel_format {
  STRIXA_GREY8 = 0,
  STRIXA_BGR24 = 1,
  STRIXA_RGB24 = 2,
  STRIXA_BGRA32 = 3,
  STRIXA_RGBA32 = 4
} strixa_pixel_format;

/* A point in the picture: x to the right, y down, from the top-left corner of the top-left pixel
 * (so the centre of the top-left pixel is 0.5, 0.5). */
typedef struct strixa_point {
  float x;
  float y;
} strixa_point;

typedef struct strixa_options {
  int fine;             /* nonzero: denser scan lines, finds smaller symbols, slower */
  unsigned symbologies; /* the strixa_symbology bits to report; 0 reports none */
} strixa_options;

/* One barcode found. The rectangle is in 1-based pixel coordinates, as the command line prints
 * it under /P. The strings belong to the reader.
 *
 * text is for people; data is what the symbol encodes, as a scanner transmits it after
 * symbology_id: EAN and UPC digits without spaces (UPC-A as 13 digits with its leading 0, as
 * "]E0" carries it), Code 128 bytes as encoded (its code sets resolved, SHIFT and FNC4 applied,
 * FNC2 and FNC3 dropped, an FNC1 that is not leading as GS, 0x1D), Code 39 and 2 of 5
 * characters as read, any check character included. data may hold NUL bytes: use data_length.
 * symbology_id is the AIM identifier: "]E0" EAN-13 and UPC-A, "]E4" EAN-8, "]C0" Code 128,
 * "]C1" with FNC1 first (EAN-128), "]C2" with FNC1 after one letter or digit pair, "]A0" Code
 * 39, "]S0" 2 of 5, "]I0" interleaved 2 of 5; the modifier 0 says no check character was
 * verified or removed (Code 39, 2 of 5) and no Full ASCII conversion was made (Code 39). */
typedef struct strixa_barcode {
  strixa_symbology symbology;
  const char* label; /* "EAN13", "UPC-A", "EAN8", "CODE128", "EAN128", "CODE39", "2/5", "2/5i" */
  const char* text;  /* as the command line prints it after the label and its tab */
  int x;
  int y;
  int width;
  int height;
  strixa_orientation orientation;
  const char* data;         /* data_length bytes, then a NUL */
  size_t data_length;       /* bytes in data, the NUL after them not counted */
  const char* symbology_id; /* three characters, "]C1" and so on */
  int page;                 /* the page the barcode is on, from 1; 1 for a picture of one page */
  /* The symbol's corners in reading order: where its first bar starts (top as read), where its
   * last bar ends (top), then that end's bottom, then the first bar's bottom. They always go
   * clockwise on screen, and span the rectangle: its pixel box runs from x - 1 to
   * x - 1 + width. */
  strixa_point corners[4];
  /* The reading direction in degrees, clockwise from the x axis (y down), 0 <= angle < 360:
   * 0 upright, 90 flat (read top to bottom), 180 upright reversed, 270 flat reversed. */
  float angle;
} strixa_barcode;

typedef struct strixa_reader strixa_reader;

/* The options of the command line without switches: normal scan, every symbology. */
STRIXA_API strixa_options strixa_default_options(void);

/* Makes a reader; options may be null for the defaults. Symbology bits outside
 * STRIXA_ALL_SYMBOLOGIES are an argument error. */
STRIXA_API strixa_status strixa_reader_create(const strixa_options* options,
                                              strixa_reader** reader);
STRIXA_API void strixa_reader_destroy(strixa_reader* reader);

/* Reads the pixels, top row first. On success *barcodes and *count describe what was found, in the
 * order the command line prints them; on failure they are null and 0. A negative stride is allowed
 * (rows stored bottom up, pixels pointing at the top one); its size must hold a whole row. */
STRIXA_API strixa_status strixa_read_pixels(strixa_reader* reader, const void* pixels, int width,
                                            int height, ptrdiff_t stride,
                                            strixa_pixel_format format,
                                            const strixa_barcode** barcodes, size_t* count);

/* Reads a Windows bitmap file (.bmp). */
STRIXA_API strixa_status strixa_read_bmp_file(strixa_reader* reader, const char* path,
                                              const strixa_barcode** barcodes, size_t* count);

/* Options beyond strixa_options are set on the reader, so later ones never change a struct's
 * size. Each returns STRIXA_ERROR_ARGUMENT for a value out of range, leaving the option as it
 * was, and holds for every later read of the reader. */

/* Multi-page files (TIFF, PDF): read pages first .. first + count - 1, from 1; count 0 reads to
 * the last page. Default: first 1, count 0 (every page). first must be at least 1 and count at
 * least 0. Pages past the file's last are not an error: nothing is read from them. */
STRIXA_API strixa_status strixa_reader_set_pages(strixa_reader* reader, int first, int count);

/* The resolution PDF pages are drawn at, in dots per inch; default 300, allowed 10 to 2400. */
STRIXA_API strixa_status strixa_reader_set_pdf_dpi(strixa_reader* reader, int dpi);

/* Nonzero: every PDF page is also read at half the resolution, and a page still without
 * barcodes at twice it (a picture placed at 72 dpi comes out four times too large at 300, and
 * symbols far from the sizes the reader expects are missed), but for pages whose first drawing
 * met damage or was costly. What they add comes after the first reading's barcodes, in page
 * order, its rectangle scaled to the first reading's pixels; their failures cost only what they
 * would have added, and they share the file's time. Default 0. */
STRIXA_API strixa_status strixa_reader_set_pdf_rereading(strixa_reader* reader, int enabled);

/* A file's budget of pixels, in megapixels of all its pages together, and with it of time: a
 * second for every 16 megapixels, at least 10. Default 1024 (64 seconds), allowed 1 to
 * 1048576. */
STRIXA_API strixa_status strixa_reader_set_max_megapixels(strixa_reader* reader, int megapixels);

/* A memory budget shared by readers, on any threads: the bytes of pixel buffers all of them may
 * hold at once. A reader asks before it allocates a page (or a bitmap's pixels) and gives the
 * bytes back after; it waits while other readers hold too much. A request that could never be
 * met (more than the whole budget, or every thread holding bytes is waiting) fails as a
 * shortage would, with STRIXA_ERROR_MEMORY or STRIXA_ERROR_LIMIT and a message naming the
 * budget. A budget must outlive every reader it is set on. */
typedef struct strixa_budget strixa_budget;

STRIXA_API strixa_status strixa_budget_create(size_t bytes, strixa_budget** budget);
STRIXA_API void strixa_budget_destroy(strixa_budget* budget);

/* The budget is also the caller's, for memory of its own that must count with the readers' (such
 * as the files it holds): reserve sets bytes aside for the calling thread, waiting as a reader
 * does, and gives STRIXA_ERROR_MEMORY when they could never be had; release gives back bytes the
 * calling thread reserved (any beyond what it holds are ignored). */
STRIXA_API strixa_status strixa_budget_reserve(strixa_budget* budget, size_t bytes);
STRIXA_API strixa_status strixa_budget_release(strixa_budget* budget, size_t bytes);
/* The bytes the budget was made with, and those held now by all threads; 0 for null. */
STRIXA_API size_t strixa_budget_total(const strixa_budget* budget);
STRIXA_API size_t strixa_budget_used(const strixa_budget* budget);

/* Counts the reader's pixel buffers in budget, or in none when budget is null (the default). */
STRIXA_API strixa_status strixa_reader_set_budget(strixa_reader* reader, strixa_budget* budget);

/* Called during each read as soon as a page's barcodes are known, with those barcodes (count may
 * be 0), then once more with those the PDF rereading adds if it adds any: a caller can pass on a
 * long file's results as they come. The barcodes are valid only during the call, which must not
 * use the reader; the read still hands out all of them, in the same order. user is passed as it
 * is. A null callback (the default) calls nothing. */
typedef void (*strixa_page_callback)(void* user, const strixa_barcode* barcodes, size_t count);
STRIXA_API strixa_status strixa_reader_set_page_callback(strixa_reader* reader,
                                                         strixa_page_callback callback, void* user);
/* Which engine reads: the document pipeline, the default, is fast and made for clean scans and
 * pages; the robust engine reads what it misses (photos, grey or uneven paper, blur, turned
 * symbols, light bars on dark, symbols without a margin) at a higher cost; both runs the two and
 * reports a symbol found by both once, the document pipeline's results first. */
typedef enum strixa_engine {
  STRIXA_ENGINE_DOCUMENT = 0, /* the document pipeline: fast, clean scans and pages */
  STRIXA_ENGINE_ROBUST = 1,   /* the second engine: photos, grey or uneven paper, blur,
                                 turned symbols, light on dark, no margin */
  STRIXA_ENGINE_BOTH = 2      /* both, a symbol found by both reported once */
} strixa_engine;

/* Chooses the reader's engine; default STRIXA_ENGINE_DOCUMENT. */
STRIXA_API strixa_status strixa_reader_set_engine(strixa_reader* reader, strixa_engine engine);

/* Reads a file of any format this build reads (BMP always; PNG, JPEG, TIFF, PNM, WebP and PDF
 * when built in), whatever its name says: the format is told from its first bytes. Every page
 * of a multi-page file is read (within strixa_reader_set_pages); each barcode carries its page.
 *
 * Files are held to limits: each side at most 32767 pixels, a page at most 2^28 pixels, all
 * pages of a file together at most 2^30 pixels, at most 100000 pages, about 64 seconds of
 * decoding, and a file of at most 1 GiB. A file passing one gives STRIXA_ERROR_LIMIT.
 * A format this build does not read gives STRIXA_ERROR_FORMAT, its message naming the format.
 *
 * If a page after the first fails, the status says why and *barcodes / *count still hold the
 * barcodes of the pages read before it (nothing read is lost); on any other failure they are
 * null and 0. */
STRIXA_API strixa_status strixa_read_file(strixa_reader* reader, const char* path,
                                          const strixa_barcode** barcodes, size_t* count);

/* The same for a whole encoded file already in memory (size bytes at bytes). The bytes are only
 * read, and need not outlive the call. */
STRIXA_API strixa_status strixa_read_encoded(strixa_reader* reader, const void* bytes, size_t size,
                                             const strixa_barcode** barcodes, size_t* count);

/* Whether this build reads a format, named "bmp", "png", "jpeg", "tiff", "pnm", "webp" or
 * "pdf" (lower case): 1 if it does, 0 if not or if the name is unknown. */
STRIXA_API int strixa_reads_format(const char* name);

/* The format the first bytes of a file announce, whatever its name says: "bmp", "png",
 * "jpeg", "tiff", "pnm", "webp" or "pdf" (as strixa_reads_format takes them, whether this build
 * reads it or not), or "" when they announce none. The first 1024 bytes suffice (a PDF header
 * may follow other bytes); fewer are enough for every other format. */
STRIXA_API const char* strixa_format_of(const void* bytes, size_t size);

/* A format's name as people write it: "BMP", "PNG", "JPEG", "TIFF", "PNM", "WebP", "PDF" for
 * the names strixa_format_of gives; "" for any other. */
STRIXA_API const char* strixa_format_title(const char* name);

/* A symbology's short name, as strixa-batch's --symbologies takes it and prints it: "ean13",
 * "upca", "ean8", "code128", "ean128", "code39", "2of5" or "itf"; "unknown" for any other
 * value. */
STRIXA_API const char* strixa_symbology_name(strixa_symbology symbology);

/* An orientation's name: "upright", "flat", "upright-reversed" or "flat-reversed"; "unknown"
 * for a value outside the enumeration. */
STRIXA_API const char* strixa_orientation_name(strixa_orientation orientation);

/* What went wrong in the reader's last failed call, in words; "" after a success. */
STRIXA_API const char* strixa_reader_error(const strixa_reader* reader);

/* A fixed description of a status. */
STRIXA_API const char* strixa_status_text(strixa_status status);

/* The library's version as "MAJOR.MINOR.PATCH", which may differ from the header's. */
STRIXA_API const char* strixa_version(void);

#ifdef __cplusplus
}
#endif

#endif
