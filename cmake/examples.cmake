# SPDX-License-Identifier: Apache-2.0
# examples/read.c built in the tree: every build checks that the public header is plain C99 and
# that the example reads the sample as the command line does (samples/sample.bmp, /P).
enable_language(C)
add_executable(strixa_example_read ${PROJECT_SOURCE_DIR}/examples/read.c)
set_target_properties(strixa_example_read PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON
                                                     C_EXTENSIONS OFF)
target_link_libraries(strixa_example_read PRIVATE Strixa::strixa)
strixa_warnings(strixa_example_read)
if(NOT MSVC)
  target_compile_options(strixa_example_read PRIVATE -pedantic-errors)
endif()
# `make test` builds only the test program; the example comes with it.
add_dependencies(strixa_tests strixa_example_read)

string(JOIN "\n" sampleLines
  "35\t41\t364\t130\tEAN13\t5901234 123457\tupright"
  "431\t41\t376\t129\tEAN128\t01234567\tupright"
  "31\t251\t332\t120\tCODE128\tStrixa-1\tupright"
  "477\t251\t416\t120\tCODE39\tSTRIXA-39\tupright"
  "35\t441\t280\t119\tEAN8\t9638 5074\tupright"
  "401\t441\t302\t119\t2/5i\t04012345\tupright"
  "7\t631\t392\t119\t2/5\t123456\tupright"
  "901\t269\t99\t370\tUPC-A\t036000 291452\tflat")
add_test(NAME ExampleReadsSample
         COMMAND strixa_example_read ${PROJECT_SOURCE_DIR}/samples/sample.bmp)
set_tests_properties(ExampleReadsSample PROPERTIES PASS_REGULAR_EXPRESSION "^${sampleLines}\r?\n$")
