# SPDX-License-Identifier: Apache-2.0
# The picture formats the library reads beside BMP and PNM (src/formats/). Each format whose
# library pkg-config finds is built in; without it, files of that format are refused as a format
# this build does not read. Cross builds look for none, so they read BMP and PNM.
#
# Sets, for CMakeLists.txt and the library, install and package files:
#   strixaFormatLibraries    the imported targets strixa_core and the libraries link
#   strixaFormatLinkNames    the same as plain library names, for users of the installed static
#                            library (CMake package and pkg-config files)
#   strixaFormatDefinitions  STRIXA_WITH_<FORMAT>=0 or 1 for each optional format
#   strixaFormatsLeftOut     the source files in src/formats/ of formats not built
#   strixaFormatPackages     the Debian development packages of the libraries built in
set(strixaFormatLibraries)
set(strixaFormatLinkNames)
set(strixaFormatDefinitions)
set(strixaFormatsLeftOut)
set(strixaFormatPackages)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(PkgConfig QUIET)
endif()
# Key, source file, pkg-config module and Debian development package of each optional format.
foreach(format "PNG;png;spng;libspng-dev" "JPEG;jpeg;libjpeg;libjpeg-dev"
               "TIFF;tiff;libtiff-4;libtiff-dev" "WEBP;webp;libwebp;libwebp-dev"
               "PDF;pdf;poppler;libpoppler-dev")
  list(GET format 0 key)
  list(GET format 1 file)
  list(GET format 2 module)
  list(GET format 3 package)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(strixa${key} QUIET IMPORTED_TARGET ${module})
  endif()
  if(strixa${key}_FOUND)
    list(APPEND strixaFormatLibraries PkgConfig::strixa${key})
    list(APPEND strixaFormatLinkNames ${strixa${key}_LIBRARIES})
    list(APPEND strixaFormatDefinitions STRIXA_WITH_${key}=1)
    list(APPEND strixaFormatPackages ${package})
  else()
    list(APPEND strixaFormatsLeftOut ${file}.cpp)
    list(APPEND strixaFormatDefinitions STRIXA_WITH_${key}=0)
  endif()
endforeach()
message(STATUS "Strixa formats: ${strixaFormatDefinitions}")
