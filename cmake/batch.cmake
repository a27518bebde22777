# SPDX-License-Identifier: Apache-2.0
# strixa-batch: many pictures per run, in every common format, on the library.
#
# It reads pictures with the library's decoders (src/formats/, cmake/formats.cmake), so it reads
# the formats the library reads.
include(GNUInstallDirs)

find_package(Threads REQUIRED)
add_library(strixa_batch_core STATIC batch/batch.cpp batch/inputs.cpp batch/options.cpp
                                     batch/orderedPool.cpp batch/output.cpp batch/progress.cpp)
target_link_libraries(strixa_batch_core PUBLIC strixa_static Threads::Threads)
# The library's own helpers it shares with strixa (the escaping of printed names, the decoders'
# limits and the run's memory budget), from the copy of strixa_core that strixa_static holds.
target_include_directories(strixa_batch_core PUBLIC ${PROJECT_SOURCE_DIR}/batch
                                                    ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(strixa_batch_core PUBLIC ${strixaFormatDefinitions})
strixa_warnings(strixa_batch_core)

add_executable(strixa_batch batch/main.cpp)
target_link_libraries(strixa_batch PRIVATE strixa_batch_core)
set_target_properties(strixa_batch PROPERTIES OUTPUT_NAME strixa-batch)
strixa_warnings(strixa_batch)


# Writers of every format, for the tests and the benchmark pages.
file(GLOB batchWriterSources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/batch/*.cpp)
add_library(strixa_batch_writers STATIC ${batchWriterSources})
target_include_directories(strixa_batch_writers PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(strixa_batch_writers PUBLIC strixa_support)
strixa_warnings(strixa_batch_writers)

# Tests of strixa-batch: their own program, as they link the library beside the internals.
file(GLOB_RECURSE batchTestSources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/batch/*_test.cpp)
add_executable(strixa_batch_tests ${batchTestSources})
target_include_directories(strixa_batch_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# The command line's driver too: some tests compare with what strixa prints.
target_link_libraries(strixa_batch_tests PRIVATE strixa_batch_core strixa_batch_writers
                                                 strixa_driver GTest::gtest GTest::gtest_main)
target_compile_definitions(strixa_batch_tests PRIVATE STRIXA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                                      STRIXA_BATCH="$<TARGET_FILE:strixa_batch>")
# The progress test runs the program on a pseudo-terminal (forkpty, from libutil).
add_dependencies(strixa_batch_tests strixa_batch)
if(NOT WIN32)
  target_link_libraries(strixa_batch_tests PRIVATE util)
endif()
strixa_warnings(strixa_batch_tests)

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 at -O3 (Release) takes "text" + std::string(...) for an overlapping memcpy inside
  # libstdc++: a false positive, gone in GCC 13. Only the files it hits are spared the warning.
  set_source_files_properties(batch/progress.cpp tests/batch/progress_test.cpp
                              PROPERTIES COMPILE_OPTIONS -Wno-restrict)
endif()
if(CMAKE_CROSSCOMPILING)
  gtest_discover_tests(strixa_batch_tests DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
else()
  gtest_discover_tests(strixa_batch_tests DISCOVERY_TIMEOUT 60)
endif()

# Draws the benchmark's pages: `strixa_draw_pages DIRECTORY COUNT [png]`.
add_executable(strixa_draw_pages tools/drawPages.cpp)
target_link_libraries(strixa_draw_pages PRIVATE strixa_batch_writers)
strixa_warnings(strixa_draw_pages)

# Small files that claim huge pictures or endless work: each must be read or refused within a
# memory and a time limit.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND AND NOT CMAKE_CROSSCOMPILING)
  add_dependencies(strixa_batch_tests strixa_batch)
  add_test(NAME BatchHostileFiles
           COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tests/batch/formats/hostileFiles.py
                   check $<TARGET_FILE:strixa_batch> --seconds 120
                   --memory-mb $<IF:$<BOOL:${ENABLE_SANITIZERS}>,0,768>
                   --cpu-seconds $<IF:$<BOOL:${ENABLE_SANITIZERS}>,60,10>)
endif()
