/* SPDX-License-Identifier: Apache-2.0 */
/* Reads Windows bitmaps through libstrixa and prints each barcode found, one line each:
 * x, y, width, height, label, text and orientation, separated by tabs.
 *
 *   read [-f] picture.bmp...     -f: fine localisation (smaller symbols, slower)
 *
 * Against an installed library: cc -std=c99 read.c $(pkg-config --cflags --libs strixa) */
#include <stdio.h>
#include <string.h>
#include <strixa/strixa.h>

static const char* OrientationName(strixa_orientation orientation) {
  switch (orientation) {
    case STRIXA_UPRIGHT:
      return "upright";
    case STRIXA_FLAT:
      return "flat";
    case STRIXA_UPRIGHT_REVERSED:
      return "upright reversed";
    case STRIXA_FLAT_REVERSED:
      return "flat reversed";
  }
  return "?";
}

int main(int argc, char** argv) {
  strixa_options options = strixa_default_options();
  int first = 1;
  if (argc > 1 && strcmp(argv[1], "-f") == 0) {
    options.fine = 1;
    first = 2;
  }
  if (first >= argc) {
    fprintf(stderr, "usage: %s [-f] picture.bmp...\n", argv[0]);
    return 2;
  }

  strixa_reader* reader = NULL;
  strixa_status status = strixa_reader_create(&options, &reader);
  if (status != STRIXA_OK) {
    fprintf(stderr, "strixa: %s\n", strixa_status_text(status));
    return 1;
  }
  /* One reader serves every picture; its results stay valid until its next read. */
  int failures = 0;
  for (int i = first; i < argc; ++i) {
    const strixa_barcode* barcodes = NULL;
    size_t count = 0;
    if (strixa_read_bmp_file(reader, argv[i], &barcodes, &count) != STRIXA_OK) {
      fprintf(stderr, "%s: %s\n", argv[i], strixa_reader_error(reader));
      ++failures;
      continue;
    }
    for (size_t k = 0; k < count; ++k) {
      const strixa_barcode* b = &barcodes[k];
      printf("%d\t%d\t%d\t%d\t%s\t%s\t%s\n", b->x, b->y, b->width, b->height, b->label, b->text,
             OrientationName(b->orientation));
    }
  }
  strixa_reader_destroy(reader);
  return failures == 0 ? 0 : 1;
}
