# What `cmake --install` lays out: the program, both libraries, the headers, pkg-config and CMake
# package files and the man pages. Tests, benchmarks and tools stay in the build tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS strixa strixa_batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The shared library is Strixa::strixa for find_package users, the static one Strixa::strixa_static.
set_target_properties(strixa_shared PROPERTIES EXPORT_NAME strixa)
set_target_properties(strixa_static PROPERTIES EXPORT_NAME strixa_static)
install(TARGETS strixa_shared strixa_static EXPORT StrixaTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/strixa DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
install(FILES ${STRIXA_GENERATED_INCLUDE_DIR}/strixa/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/strixa)

# The CMake package: find_package(Strixa) gives Strixa::strixa.
set(strixaCmakeDir ${CMAKE_INSTALL_LIBDIR}/cmake/Strixa)
install(EXPORT StrixaTargets NAMESPACE Strixa:: FILE StrixaTargets.cmake
        DESTINATION ${strixaCmakeDir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/StrixaConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/StrixaConfig.cmake
                              INSTALL_DESTINATION ${strixaCmakeDir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/StrixaConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/StrixaConfig.cmake
              ${PROJECT_BINARY_DIR}/StrixaConfigVersion.cmake
        DESTINATION ${strixaCmakeDir})

# pkg-config: the prefix is found from the .pc file's own place, so the tree can be installed
# under any prefix (cmake --install --prefix) and still be right. A build for /usr (the package)
# names it plainly, so pkg-config leaves out the system folders.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(pcPrefix /usr)
else()
  file(RELATIVE_PATH pcToPrefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" pcToPrefix "${pcToPrefix}")
  set(pcPrefix "\${pcfiledir}/${pcToPrefix}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/strixa.pc.in ${PROJECT_BINARY_DIR}/strixa.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/strixa.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The JSON Schema of strixa-batch --format=jsonl records.
install(FILES ${PROJECT_SOURCE_DIR}/batch/strixa-batch.schema.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/strixa)

# Man pages carry the project version and are installed compressed, as Debian requires.
if(NOT WIN32)
  find_program(gzipProgram gzip REQUIRED)
  set(manPages)
  foreach(page strixa.1 strixa-batch.1 strixa.3)
    string(REGEX REPLACE ".*\\." "" section ${page})
    configure_file(${PROJECT_SOURCE_DIR}/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.gz
                       COMMAND ${gzipProgram} -9 -n -c ${page} > ${page}.gz
                       DEPENDS ${PROJECT_BINARY_DIR}/man/${page}
                       WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/man VERBATIM)
    list(APPEND manPages ${PROJECT_BINARY_DIR}/man/${page}.gz)
    install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  endforeach()
  add_custom_target(strixa_man ALL DEPENDS ${manPages})
endif()
