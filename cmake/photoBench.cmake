# SPDX-License-Identifier: Apache-2.0
# The photo benchmark: Strixa against zxing-cpp and ZBar on drawn photos. Built only where
# pkg-config finds both readers' libraries (Debian: libzxing-dev, libzbar-dev); CI needs neither.
# `build/strixa_photo_bench --pictures 2000`.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(PkgConfig QUIET)
endif()
if(PKG_CONFIG_FOUND)
  pkg_check_modules(photoJpeg QUIET IMPORTED_TARGET libjpeg)
  pkg_check_modules(photoZxing QUIET IMPORTED_TARGET zxing)
  pkg_check_modules(photoZbar QUIET IMPORTED_TARGET zbar)
endif()

# The JPEG round trip of the photo pictures, and its tests in strixa_tests, where libjpeg is.
if(photoJpeg_FOUND)
  add_library(strixa_jpeg_support STATIC tests/support/jpegRoundTrip.cpp)
  target_include_directories(strixa_jpeg_support PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(strixa_jpeg_support PUBLIC PkgConfig::photoJpeg)
  target_compile_definitions(strixa_jpeg_support PUBLIC STRIXA_PHOTO_JPEG=1)
  strixa_warnings(strixa_jpeg_support)
  target_link_libraries(strixa_tests PRIVATE strixa_jpeg_support)
else()
  target_compile_definitions(strixa_tests PRIVATE STRIXA_PHOTO_JPEG=0)
endif()

if(photoZxing_FOUND AND photoZbar_FOUND)
  find_package(Threads REQUIRED)
  add_executable(strixa_photo_bench tools/photoBench.cpp)
  target_link_libraries(strixa_photo_bench PRIVATE strixa_support Strixa::strixa
                                                   PkgConfig::photoZxing PkgConfig::photoZbar
                                                   Threads::Threads)
  if(photoJpeg_FOUND)
    target_link_libraries(strixa_photo_bench PRIVATE strixa_jpeg_support)
  else()
    target_compile_definitions(strixa_photo_bench PRIVATE STRIXA_PHOTO_JPEG=0)
  endif()
  strixa_warnings(strixa_photo_bench)
  # A few pictures only, to see that it draws and reads: the figures come from long runs.
  add_test(NAME PhotoBenchSmoke COMMAND strixa_photo_bench --pictures 28 --threads 1)
  # Built with the tests, so `make test` has it when CTest runs the smoke test.
  add_dependencies(strixa_tests strixa_photo_bench)
else()
  message(STATUS "strixa_photo_bench skipped: pkg-config finds no zxing (libzxing-dev) or no "
                 "zbar (libzbar-dev)")
endif()
