# SPDX-License-Identifier: Apache-2.0
# CPack: the Debian packages, split as Debian splits a library. Build them with `make package` at
# the top of the tree, which configures for /usr with the hardening flags of dpkg-buildflags.
#   libstrixaN     the shared library libstrixa.so.N (N: the soname, the major version)
#   libstrixa-dev  headers, static library, pkg-config and CMake package files, strixa(3)
#   strixa         strixa and strixa-batch with their manual pages
#   python3-strixa the Python package strixa (when cmake/python.cmake could build it)
set(CPACK_PACKAGE_NAME strixa)
set(CPACK_PACKAGE_VENDOR "Strixa maintainers")
set(CPACK_PACKAGE_CONTACT "Strixa maintainers <maintainers@strixa.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
# Plain rwxr-xr-x directories whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev programs)
if(TARGET strixa_python_module)
  list(APPEND CPACK_COMPONENTS_ALL python)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://strixa.example.org/")
set(CPACK_DEBIAN_PACKAGE_SOURCE strixa)
# Dependencies on other packages from dpkg-shlibdeps; on each other from the lines below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(strixaDebianVersion "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
set(strixaLibraryPackage libstrixa${STRIXA_SOVERSION})

# The formats this build reads (cmake/formats.cmake), for the packages' descriptions.
set(batchFormats BMP)
foreach(format PNG JPEG TIFF WEBP PDF)
  if(strixa${format}_FOUND)
    string(REPLACE WEBP WebP name ${format})
    list(APPEND batchFormats ${name})
  endif()
endforeach()
list(APPEND batchFormats PNM)
list(JOIN batchFormats ", " batchFormats)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${strixaLibraryPackage})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# shlibs and an ldconfig trigger for libstrixa.so.N (only the runtime package has a soname).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "reader of one-dimensional barcodes in pictures (library)
libstrixa finds and decodes EAN-13, UPC-A, EAN-8, Code 128 and EAN-128,
Code 39, 2 of 5 and interleaved 2 of 5 symbols whose bars stand upright or
lie flat, in picture files or in pixels in memory, and returns each barcode's
text, page, rectangle, corners and orientation. It has a C API and no global
state. It reads these formats (every page of TIFF and PDF files):
${batchFormats}.
.
This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libstrixa-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# The static library's users link the formats' libraries too.
set(devDepends "${strixaLibraryPackage} (= ${strixaDebianVersion})" ${strixaFormatPackages})
list(JOIN devDepends ", " devDepends)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${devDepends}")
set(CPACK_DEBIAN_DEV_DESCRIPTION "reader of one-dimensional barcodes in pictures (development files)
libstrixa finds and decodes EAN-13, UPC-A, EAN-8, Code 128 and EAN-128,
Code 39, 2 of 5 and interleaved 2 of 5 symbols in picture files or in pixels
in memory.
.
This package holds what building programs on libstrixa needs: the C header
and a header-only C++20 wrapper, the static library, pkg-config files
(strixa, strixa-static), the CMake package (find_package(Strixa)) and the
manual page strixa(3).")

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME strixa)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "readers of one-dimensional barcodes in pictures
Two command-line programs that find and decode EAN-13, UPC-A, EAN-8,
Code 128 and EAN-128, Code 39, 2 of 5 and interleaved 2 of 5 symbols whose
bars stand upright or lie flat.
.
strixa reads one Windows bitmap and prints one line per barcode.
.
strixa-batch reads many pictures on several threads, given as files,
directories or a list on standard input, and writes one record per barcode
as TSV, CSV or JSON lines. It reads these formats (every page of TIFF and
PDF files): ${batchFormats}.")

if(TARGET strixa_python_module)
  # The module is built for this one Python version (its file name says so); numpy and Pillow
  # are needed only for pixels, Dask only for strixa.dask.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-strixa)
  # The module needs libstrixa.so.N, built here and not installed: dpkg-shlibdeps finds it in the
  # build folder, and the dependency on its package is named below.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  math(EXPR pythonNextMinor "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "${strixaLibraryPackage} (= ${strixaDebianVersion}), python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), python3 (<< ${Python3_VERSION_MAJOR}.${pythonNextMinor})")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "python3-numpy, python3-pil")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-dask, python3-distributed, python3-pandas")
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION "reader of one-dimensional barcodes in pictures (Python 3)
The Python package strixa finds and decodes EAN-13, UPC-A, EAN-8, Code 128
and EAN-128, Code 39, 2 of 5 and interleaved 2 of 5 symbols in picture
files, encoded bytes, numpy arrays and Pillow images, releasing the GIL
while it reads. strixa.dask reads many files into a Dask DataFrame on any
Dask scheduler, and python3 -m strixa writes the JSON lines of
strixa-batch.")
endif()

if(NOT WIN32)
  # Debian wants the copyright and a changelog in each package's documentation folder.
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
                 ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
                     COMMAND ${gzipProgram} -9 -n -c changelog > changelog.Debian.gz
                     DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
                     WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/debian VERBATIM)
  add_custom_target(strixa_debian_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
  foreach(component ${CPACK_COMPONENTS_ALL})
    string(TOUPPER ${component} upper)
    install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
                  ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
            COMPONENT ${component})
  endforeach()
endif()

include(CPack)

# Everything the packages hold, so `make package` builds no tests or benchmarks.
add_custom_target(strixa_installables)
add_dependencies(strixa_installables strixa strixa_batch strixa_shared strixa_static)
if(NOT WIN32)
  add_dependencies(strixa_installables strixa_man strixa_debian_docs)
endif()
if(TARGET strixa_python_module)
  add_dependencies(strixa_installables strixa_python_module)
endif()
