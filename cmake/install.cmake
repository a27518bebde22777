# SPDX-License-Identifier: Apache-2.0
# What `cmake --install` lays out: the program, both libraries, the headers, pkg-config and CMake
# package files and the man pages. Tests, benchmarks and tools stay in the build tree.
#
# Each file belongs to one of three components, the Debian packages of cmake/package.cmake:
# runtime (the shared library), dev (what building against it needs) and programs.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS strixa strixa_batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)

# The shared library is Strixa::strixa for find_package users, the static one Strixa::strixa_static.
set_target_properties(strixa_shared PROPERTIES EXPORT_NAME strixa)
set_target_properties(strixa_static PROPERTIES EXPORT_NAME strixa_static)
# A shared library is not a program: rw-r--r--, as Debian wants it.
install(TARGETS strixa_shared strixa_static EXPORT StrixaTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
                PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# install --strip and the package's strip leave the static library's debug information and the
# compiler's .comment and .note sections in place; Debian's own strip takes them out.
if(NOT WIN32 AND CMAKE_STRIP)
  # Component, folder, target and strip's options beyond the sections.
  foreach(entry "dev;LIBDIR;strixa_static;--strip-debug;--enable-deterministic-archives"
                "runtime;LIBDIR;strixa_shared" "programs;BINDIR;strixa" "programs;BINDIR;strixa_batch")
    list(POP_FRONT entry component folder target)
    string(JOIN " " options ${entry})
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" ${options} --remove-section=.comment
                                --remove-section=.note
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_${folder}}/$<TARGET_FILE_NAME:${target}>\"
                                COMMAND_ERROR_IS_FATAL ANY)
      endif()" COMPONENT ${component})
  endforeach()
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/strixa DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT dev FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")
install(FILES ${STRIXA_GENERATED_INCLUDE_DIR}/strixa/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/strixa COMPONENT dev)

# The CMake package: find_package(Strixa) gives Strixa::strixa.
set(strixaCmakeDir ${CMAKE_INSTALL_LIBDIR}/cmake/Strixa)
install(EXPORT StrixaTargets NAMESPACE Strixa:: FILE StrixaTargets.cmake
        DESTINATION ${strixaCmakeDir} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/StrixaConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/StrixaConfig.cmake
                              INSTALL_DESTINATION ${strixaCmakeDir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/StrixaConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/StrixaConfig.cmake
              ${PROJECT_BINARY_DIR}/StrixaConfigVersion.cmake
        DESTINATION ${strixaCmakeDir} COMPONENT dev)

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
# strixa links the shared library, strixa-static the static one (pkg-config --static cannot
# choose: -lstrixa always finds libstrixa.so first).
# Both name the formats' libraries plainly (-lpoppler), not as pkg-config modules: a user's
# pkg-config then needs no .pc files of theirs, which a system may not have.
set(pcFormatLibraries)
foreach(name ${strixaFormatLinkNames})
  string(APPEND pcFormatLibraries " -l${name}")
endforeach()
get_target_property(staticName strixa_static OUTPUT_NAME)
set(staticLibraryFile ${CMAKE_STATIC_LIBRARY_PREFIX}${staticName}${CMAKE_STATIC_LIBRARY_SUFFIX})
foreach(module strixa strixa-static)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${module}.pc.in ${PROJECT_BINARY_DIR}/${module}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${module}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT dev)
endforeach()

# The JSON Schema of strixa-batch --format=jsonl records.
install(FILES ${PROJECT_SOURCE_DIR}/batch/strixa-batch.schema.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/strixa COMPONENT programs)

# Man pages carry the project version and are installed compressed, as Debian requires.
if(NOT WIN32)
  find_program(gzipProgram gzip REQUIRED)
  set(manPages)
  foreach(page strixa.1 strixa-batch.1 strixa.3)
    string(REGEX REPLACE ".*\\." "" section ${page})
    if(section STREQUAL 3)
      set(component dev)
    else()
      set(component programs)
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.gz
                       COMMAND ${gzipProgram} -9 -n -c ${page} > ${page}.gz
                       DEPENDS ${PROJECT_BINARY_DIR}/man/${page}
                       WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/man VERBATIM)
    list(APPEND manPages ${PROJECT_BINARY_DIR}/man/${page}.gz)
    install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
  endforeach()
  add_custom_target(strixa_man ALL DEPENDS ${manPages})
endif()
