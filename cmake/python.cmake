# SPDX-License-Identifier: Apache-2.0
# The Python package strixa (python/): its extension module built with pybind11 on the shared
# library, laid out with the package's Python files in build/python/strixa, tested under CTest
# and installed as the Debian package python3-strixa. Without pybind11 or Python's headers
# nothing is built and the tests are skipped, saying why.
option(STRIXA_PYTHON "Build the Python package when pybind11 and Python's headers are found" ON)

# Debian's Python modules (numpy, Pillow, Dask) belong to its own interpreter; another python3
# first on PATH would build a module they cannot load.
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python the package is built for")
endif()

set(strixaPythonReason "")
if(NOT STRIXA_PYTHON)
  set(strixaPythonReason "STRIXA_PYTHON is off")
elseif(WIN32 OR CMAKE_CROSSCOMPILING OR ENABLE_SANITIZERS OR STRIXA_FUZZERS)
  # Python itself is not built with the sanitizers, so it cannot load a module that is.
  set(strixaPythonReason "not built for this configuration (cross, sanitized or fuzzing build)")
else()
  find_package(Python3 COMPONENTS Interpreter Development.Module)
  if(Python3_FOUND)
    find_package(pybind11 CONFIG QUIET)
  endif()
  if(NOT Python3_FOUND)
    set(strixaPythonReason "no Python 3 with its headers (apt-get install python3-dev)")
  elseif(NOT pybind11_FOUND)
    set(strixaPythonReason "no pybind11 (apt-get install pybind11-dev python3-pybind11)")
  endif()
endif()

# Always there, so `make test` can name it whether or not the module can be built.
add_custom_target(strixa_python)
set(strixaPythonDir ${PROJECT_BINARY_DIR}/python)
file(GLOB strixaPythonFiles CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/python/strixa/*.py
     ${PROJECT_SOURCE_DIR}/python/strixa/*.pyi ${PROJECT_SOURCE_DIR}/python/strixa/py.typed)

if(strixaPythonReason STREQUAL "")
  pybind11_add_module(strixa_python_module MODULE ${PROJECT_SOURCE_DIR}/python/src/module.cpp)
  target_link_libraries(strixa_python_module PRIVATE Strixa::strixa)
  set_target_properties(strixa_python_module PROPERTIES
    OUTPUT_NAME _strixa
    LIBRARY_OUTPUT_DIRECTORY ${strixaPythonDir}/strixa)
  strixa_warnings(strixa_python_module)
  # The package's Python files beside the module, so tests import it from the build tree.
  set(copied)
  foreach(source ${strixaPythonFiles})
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${strixaPythonDir}/strixa/${name}
                       COMMAND ${CMAKE_COMMAND} -E copy ${source} ${strixaPythonDir}/strixa/${name}
                       DEPENDS ${source} VERBATIM)
    list(APPEND copied ${strixaPythonDir}/strixa/${name})
  endforeach()
  # In the default build too, so a plain build and ctest test the package as `make test` does.
  add_custom_target(strixa_python_files ALL DEPENDS ${copied})
  add_dependencies(strixa_python strixa_python_module strixa_python_files)

  # Debian's place for modules of its python3 (python3-strixa).
  set(strixaPythonInstallDir lib/python3/dist-packages/strixa)
  install(TARGETS strixa_python_module LIBRARY DESTINATION ${strixaPythonInstallDir}
          COMPONENT python PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  install(FILES ${strixaPythonFiles} DESTINATION ${strixaPythonInstallDir} COMPONENT python)
  if(NOT WIN32 AND CMAKE_STRIP)
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment
                                --remove-section=.note
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${strixaPythonInstallDir}/$<TARGET_FILE_NAME:strixa_python_module>\"
                                COMMAND_ERROR_IS_FATAL ANY)
      endif()" COMPONENT python)
  endif()
  add_test(NAME PythonPackage
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/python/tests/run.py
                   ${PROJECT_SOURCE_DIR}/python/tests
           WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
  set_tests_properties(PythonPackage PROPERTIES
    SKIP_RETURN_CODE 77
    SKIP_REGULAR_EXPRESSION "^Python tests skipped"
    TIMEOUT 600
    ENVIRONMENT "PYTHONPATH=${strixaPythonDir};STRIXA_SOURCE_DIR=${PROJECT_SOURCE_DIR};STRIXA_BINARY=$<TARGET_FILE:strixa>;STRIXA_BATCH=$<TARGET_FILE:strixa_batch>;STRIXA_DRAW_PAGES=$<TARGET_FILE:strixa_draw_pages>")
elseif(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME PythonPackage COMMAND sh -c "echo 'Python package not built: ${strixaPythonReason}'; exit 77")
  # The message, not only the code, so that tools/skipped-tests finds the test and its reason.
  set_tests_properties(PythonPackage PROPERTIES SKIP_RETURN_CODE 77
                                                SKIP_REGULAR_EXPRESSION "^Python package not built")
endif()

if(NOT WIN32)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/strixa-uninstalled.pc.in
                 ${PROJECT_BINARY_DIR}/strixa-uninstalled.pc @ONLY)
endif()
