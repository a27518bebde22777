// SPDX-License-Identifier: Apache-2.0
// strixa._strixa: the C API as a Python extension. It is compiled against strixa.h, so a change of
// the C structs breaks the build instead of being misread at run time. Everything a user sees is
// shaped in the pure Python layer (strixa/__init__.py); this module only reads and hands back
// plain tuples, and barcodes as the class that layer names. Every read runs without the GIL.
#include <pybind11/pybind11.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "strixa/strixa.h"

namespace py = pybind11;

namespace {

// Library strings are bytes; a byte that is not UTF-8 survives as a lone surrogate, so the exact
// bytes come back with encode("utf-8", "surrogateescape").
py::str Text(const char* text) {
  PyObject* decoded = PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(std::strlen(text)),
                                           "surrogateescape");
  if (decoded == nullptr) {
    throw py::error_already_set();
  }
  return py::reinterpret_steal<py::str>(decoded);
}

// One barcode in the field order of strixa.Barcode.
constexpr std::size_t barcodeFieldCount = 13;
py::tuple BarcodeTuple(const strixa_barcode& found) {
  py::tuple corners(4);
  for (std::size_t i = 0; i < 4; ++i) {
    corners[i] = py::make_tuple(static_cast<double>(found.corners[i].x),
                                static_cast<double>(found.corners[i].y));
  }
  return py::make_tuple(strixa_symbology_name(found.symbology), Text(found.label), Text(found.text),
                        py::bytes(found.data, found.data_length), Text(found.symbology_id),
                        found.x, found.y, found.width, found.height,
                        strixa_orientation_name(found.orientation), found.page, corners,
                        static_cast<double>(found.angle));
}

// How pixels reach strixa_read_pixels: in place, or copied into `copy` when their layout is one
// the C API cannot take.
struct PixelSource {
  const void* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;
  strixa_pixel_format format = STRIXA_GREY8;
  std::vector<std::uint8_t> copy;
};

int Side(py::ssize_t size, const char* name) {
  if (size < 1 || size > INT_MAX) {
    throw py::value_error(std::string("the picture's ") + name + " must be at least 1, not " +
                          std::to_string(size));
  }
  return static_cast<int>(size);
}

// The C API takes a row stride and, through its formats, a pixel step of 1 (grey), 3 (RGB, or
// BGR for channels in reverse) or 4 (RGBA); rows must not overlap. Anything else is copied.
PixelSource ViewArray(const py::buffer_info& info) {
  if (info.itemsize != 1 || (info.format != "B" && info.format != "=B" && info.format != "<B" &&
                             info.format != ">B" && info.format != "|B")) {
    throw py::type_error("pixels must be uint8, not the buffer format '" + info.format + "'");
  }
  if (info.ndim != 2 && info.ndim != 3) {
    throw py::value_error("pixels must be 2-D (grey) or 3-D (RGB or RGBA), not " +
                          std::to_string(info.ndim) + "-D");
  }
  const py::ssize_t channels = info.ndim == 3 ? info.shape[2] : 1;
  if (channels != 1 && channels != 3 && channels != 4) {
    throw py::value_error("a 3-D picture has 3 (RGB) or 4 (RGBA) channels, not " +
                          std::to_string(channels));
  }
  if (info.ndim == 3 && channels == 1) {
    throw py::value_error("a 3-D picture has 3 (RGB) or 4 (RGBA) channels, not 1");
  }
  PixelSource source;
  source.height = Side(info.shape[0], "height");
  source.width = Side(info.shape[1], "width");
  const py::ssize_t rowStride = info.strides[0];
  const py::ssize_t pixelStride = info.strides[1];
  const py::ssize_t channelStride = info.ndim == 3 ? info.strides[2] : 1;
  const py::ssize_t rowBytes = static_cast<py::ssize_t>(source.width) * channels;
  // One row alone has no stride to speak of.
  const py::ssize_t stride = source.height == 1 ? rowBytes : rowStride;
  const bool rowsApart = stride >= rowBytes || stride <= -rowBytes;
  const auto* first = static_cast<const std::uint8_t*>(info.ptr);
  if (rowsApart && pixelStride == channels) {
    if (channels == 1) {
      source.format = STRIXA_GREY8;
      source.pixels = first;
    } else if (channelStride == 1) {
      source.format = channels == 3 ? STRIXA_RGB24 : STRIXA_RGBA32;
      source.pixels = first;
    } else if (channels == 3 && channelStride == -1) {
      // [..., ::-1] of RGB pixels: in memory they are BGR, starting two bytes before.
      source.format = STRIXA_BGR24;
      source.pixels = first - 2;
    }
  }
  if (source.pixels != nullptr) {
    source.stride = stride;
    return source;
  }
  source.format = channels == 1 ? STRIXA_GREY8 : channels == 3 ? STRIXA_RGB24 : STRIXA_RGBA32;
  source.copy.resize(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(source.height));
  std::uint8_t* out = source.copy.data();
  for (py::ssize_t y = 0; y < source.height; ++y) {
    for (py::ssize_t x = 0; x < source.width; ++x) {
      const std::uint8_t* pixel = first + y * rowStride + x * pixelStride;
      for (py::ssize_t c = 0; c < channels; ++c) {
        *out++ = pixel[c * channelStride];
      }
    }
  }
  source.pixels = source.copy.data();
  source.stride = rowBytes;
  return source;
}

class Reader {
 public:
  Reader(bool fine, unsigned symbologies) {
    const strixa_options options{fine ? 1 : 0, symbologies};
    const strixa_status status = strixa_reader_create(&options, &reader_);
    if (status == STRIXA_ERROR_MEMORY) {
      throw std::bad_alloc();
    }
    if (status != STRIXA_OK) {
      throw py::value_error(std::string("cannot make a reader: ") + strixa_status_text(status));
    }
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  ~Reader() { strixa_reader_destroy(reader_); }

  py::tuple SetPages(int first, int count) {
    const std::unique_lock lock = Claim();
    return Outcome(strixa_reader_set_pages(reader_, first, count), nullptr, 0);
  }

  // The class barcodes are made as (strixa.Barcode) and its field names in tuple order; until
  // it is set, barcodes come as tuples.
  void SetBarcodeType(const py::type& type, const py::tuple& names) {
    if (names.size() != barcodeFieldCount) {
      throw py::value_error("a barcode has " + std::to_string(barcodeFieldCount) + " fields");
    }
    barcodeType_ = type;
    fieldNames_ = names;
  }

  py::tuple SetPdfDpi(int dpi) {
    const std::unique_lock lock = Claim();
    return Outcome(strixa_reader_set_pdf_dpi(reader_, dpi), nullptr, 0);
  }

  py::tuple SetEngine(int engine) {
    const std::unique_lock lock = Claim();
    return Outcome(strixa_reader_set_engine(reader_, static_cast<strixa_engine>(engine)), nullptr,
                   0);
  }

  py::tuple ReadFile(const py::bytes& path) {
    const std::string name = path;
    if (name.find('\0') != std::string::npos) {
      throw py::value_error("a path must not hold a NUL byte");
    }
    const std::unique_lock lock = Claim();
    const strixa_barcode* found = nullptr;
    std::size_t count = 0;
    strixa_status status;
    {
      const py::gil_scoped_release release;
      status = strixa_read_file(reader_, name.c_str(), &found, &count);
    }
    return Outcome(status, found, count);
  }

  py::tuple ReadEncoded(const py::buffer& bytes) {
    // The request holds the buffer: a bytearray cannot be resized while it is read.
    const py::buffer_info info = bytes.request();
    if (info.itemsize != 1) {
      throw py::type_error("an encoded picture is a buffer of bytes");
    }
    const std::unique_lock lock = Claim();
    const strixa_barcode* found = nullptr;
    std::size_t count = 0;
    strixa_status status;
    {
      const py::gil_scoped_release release;
      status = strixa_read_encoded(reader_, info.ptr, static_cast<std::size_t>(info.size), &found,
                                   &count);
    }
    return Outcome(status, found, count);
  }

  // A numpy array (or any buffer) of pixels, as its shape and strides say.
  py::tuple ReadArray(const py::buffer& pixels) {
    const py::buffer_info info = pixels.request();
    const std::unique_lock lock = Claim();
    const strixa_barcode* found = nullptr;
    std::size_t count = 0;
    strixa_status status;
    const PixelSource source = ViewArray(info);
    {
      const py::gil_scoped_release release;
      status = strixa_read_pixels(reader_, source.pixels, source.width, source.height,
                                  source.stride, source.format, &found, &count);
    }
    return Outcome(status, found, count);
  }

  // Packed rows of a known format (a Pillow image's tobytes()).
  py::tuple ReadPacked(const py::buffer& pixels, int width, int height, int format) {
    const py::buffer_info info = pixels.request();
    const int step = format == STRIXA_GREY8 ? 1 : format == STRIXA_RGB24 ? 3 : 4;
    if (width < 1 || height < 1 ||
        info.size / height / width < step) {
      throw py::value_error("the buffer is smaller than the picture");
    }
    const std::unique_lock lock = Claim();
    const strixa_barcode* found = nullptr;
    std::size_t count = 0;
    strixa_status status;
    {
      const py::gil_scoped_release release;
      status = strixa_read_pixels(reader_, info.ptr, width, height,
                                  static_cast<std::ptrdiff_t>(width) * step,
                                  static_cast<strixa_pixel_format>(format), &found, &count);
    }
    return Outcome(status, found, count);
  }

 private:
  // A reader belongs to one thread at a time: a second caller is told so rather than racing.
  std::unique_lock<std::mutex> Claim() {
    std::unique_lock lock(busy_, std::try_to_lock);
    if (!lock.owns_lock()) {
      throw py::value_error(
          "this Reader is reading on another thread; give each thread its own Reader");
    }
    return lock;
  }

  // An instance of the barcode type made as object.__new__ makes it, its __dict__ then filled
  // here: a frozen dataclass's __init__ sets each field through object.__setattr__, and doing
  // even the filling in Python costs more than the rest of a small read's Python layer.
  py::object Barcode(const strixa_barcode& found) const {
    py::tuple values = BarcodeTuple(found);
    if (!barcodeType_) {
      return values;
    }
    auto* type = reinterpret_cast<PyTypeObject*>(barcodeType_.ptr());
    const py::tuple noArguments;
    auto barcode = py::reinterpret_steal<py::object>(
        PyBaseObject_Type.tp_new(type, noArguments.ptr(), nullptr));
    if (!barcode) {
      throw py::error_already_set();
    }
    const auto fields =
        py::reinterpret_steal<py::object>(PyObject_GenericGetDict(barcode.ptr(), nullptr));
    if (!fields) {
      throw py::error_already_set();
    }
    for (std::size_t i = 0; i < barcodeFieldCount; ++i) {
      if (PyDict_SetItem(fields.ptr(), fieldNames_[i].ptr(), values[i].ptr()) != 0) {
        throw py::error_already_set();
      }
    }
    return barcode;
  }

  // (status, message, barcodes): barcodes may come with a failure, from the pages read before it.
  py::tuple Outcome(strixa_status status, const strixa_barcode* found, std::size_t count) {
    py::list barcodes(count);
    for (std::size_t i = 0; i < count; ++i) {
      barcodes[i] = Barcode(found[i]);
    }
    return py::make_tuple(static_cast<int>(status),
                          status == STRIXA_OK ? py::str() : Text(strixa_reader_error(reader_)),
                          barcodes);
  }

  strixa_reader* reader_ = nullptr;
  std::mutex busy_;
  py::object barcodeType_;
  py::tuple fieldNames_;
};

// How an array would be read: its format's name and whether it is copied (for the tests).
py::tuple PixelLayoutOf(const py::buffer& pixels) {
  const PixelSource source = ViewArray(pixels.request());
  const char* names[] = {"grey", "bgr", "rgb", "bgra", "rgba"};
  return py::make_tuple(names[source.format], !source.copy.empty());
}

}  // namespace

PYBIND11_MODULE(_strixa, module) {
  module.doc() = "The C library strixa as an extension module; use the package strixa instead.";
  py::class_<Reader>(module, "Reader")
      .def(py::init<bool, unsigned>(), py::arg("fine"), py::arg("symbologies"))
      .def("set_pages", &Reader::SetPages, py::arg("first"), py::arg("count"))
      .def("set_pdf_dpi", &Reader::SetPdfDpi, py::arg("dpi"))
      .def("set_engine", &Reader::SetEngine, py::arg("engine"))
      .def("set_barcode_type", &Reader::SetBarcodeType, py::arg("type"), py::arg("names"))
      .def("read_file", &Reader::ReadFile, py::arg("path"))
      .def("read_encoded", &Reader::ReadEncoded, py::arg("data"))
      .def("read_array", &Reader::ReadArray, py::arg("pixels"))
      .def("read_packed", &Reader::ReadPacked, py::arg("pixels"), py::arg("width"),
           py::arg("height"), py::arg("format"));
  module.def("pixel_layout", &PixelLayoutOf, py::arg("pixels"));
  module.def("version", [] { return std::string(strixa_version()); });
  module.def(
      "reads_format", [](const std::string& name) { return strixa_reads_format(name.c_str()) != 0; },
      py::arg("name"));
  module.attr("header_version") = STRIXA_VERSION_STRING;
  module.attr("GREY8") = static_cast<int>(STRIXA_GREY8);
  module.attr("RGB24") = static_cast<int>(STRIXA_RGB24);
  module.attr("RGBA32") = static_cast<int>(STRIXA_RGBA32);
  module.attr("ALL_SYMBOLOGIES") = STRIXA_ALL_SYMBOLOGIES;
  module.attr("ENGINE_DOCUMENT") = static_cast<int>(STRIXA_ENGINE_DOCUMENT);
  module.attr("ENGINE_ROBUST") = static_cast<int>(STRIXA_ENGINE_ROBUST);
  module.attr("ENGINE_BOTH") = static_cast<int>(STRIXA_ENGINE_BOTH);
}
