# CPack: one Debian package, strixa, holding the program, the libraries, the headers and the man
# pages. Build it with `make package` at the top of the tree, which configures for /usr.
set(CPACK_PACKAGE_NAME strixa)
set(CPACK_PACKAGE_VENDOR "Strixa maintainers")
set(CPACK_PACKAGE_CONTACT "Strixa maintainers <maintainers@strixa.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "command-line reader and C library for 1-D barcodes")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
# Plain rwxr-xr-x directories whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://strixa.example.org/")
set(CPACK_PACKAGE_DESCRIPTION "strixa finds the upright and flat one-dimensional barcodes in a Windows bitmap
and prints one line per barcode: EAN-13, UPC-A, EAN-8, Code 128 and EAN-128,
Code 39, 2 of 5 and interleaved 2 of 5.

The same reader is a C library, libstrixa, which reads bitmap files or pixels
in memory and returns each barcode's text, rectangle and orientation. The
package holds the shared and static library, the C header, pkg-config and
CMake package files, and the manual pages strixa(1) and strixa(3).")
# shlibs and an ldconfig trigger for libstrixa.so.N; dependencies from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

if(NOT WIN32)
  # Debian wants the copyright and a changelog in the package's documentation folder.
  set(debianDocDir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
                 ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
                     COMMAND ${gzipProgram} -9 -n -c changelog > changelog.Debian.gz
                     DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
                     WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/debian VERBATIM)
  add_custom_target(strixa_debian_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
                ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
          DESTINATION ${debianDocDir})
endif()

include(CPack)

# Everything the package holds, so `make package` builds no tests or benchmarks.
add_custom_target(strixa_installables)
add_dependencies(strixa_installables strixa strixa_batch strixa_shared strixa_static)
if(NOT WIN32)
  add_dependencies(strixa_installables strixa_man strixa_debian_docs)
endif()
