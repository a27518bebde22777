/* Built as C99 with -pedantic-errors: the public header must serve a plain C program. */
#include <stdio.h>

#include "strixa/strixa.h"

int ReadFirstBarcodeFromC(const char* path, char* line, size_t size);

/* "label<TAB>text" of the file's first barcode; returns the number found, or -1 on failure. */
int ReadFirstBarcodeFromC(const char* path, char* line, size_t size) {
  strixa_options options = strixa_default_options();
  strixa_reader* reader = NULL;
  const strixa_barcode* barcodes = NULL;
  size_t count = 0;
  int found = -1;
  if (strixa_reader_create(&options, &reader) != STRIXA_OK) {
    return -1;
  }
  if (strixa_read_bmp_file(reader, path, &barcodes, &count) == STRIXA_OK && count > 0) {
    snprintf(line, size, "%s\t%s", barcodes[0].label, barcodes[0].text);
    found = (int)count;
  }
  strixa_reader_destroy(reader);
  return found;
}
