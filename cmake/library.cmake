# SPDX-License-Identifier: Apache-2.0
# The library: the public C API (include/strixa/strixa.h, src/api/) on top of the pipeline's
# objects, built shared (Strixa::strixa) and static. Both hold their own copy of strixa_core's
# objects, so neither needs strixa_core at link time or once installed; both need the picture
# formats' libraries (cmake/formats.cmake): the shared one links them, the static one passes them
# to its users.

# One version number, set in project(), feeds the header the library and its users compile with.
set(STRIXA_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in
               ${STRIXA_GENERATED_INCLUDE_DIR}/strixa/version.h @ONLY)

set(strixaApiSources ${PROJECT_SOURCE_DIR}/src/api/strixa.cpp)

function(strixa_library target type)
  add_library(${target} ${type} ${strixaApiSources} $<TARGET_OBJECTS:strixa_core>)
  target_include_directories(${target}
    PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
           $<BUILD_INTERFACE:${STRIXA_GENERATED_INCLUDE_DIR}>
           $<INSTALL_INTERFACE:include>
    PRIVATE ${PROJECT_SOURCE_DIR}/src)
  # strixa.hpp, the C++ wrapper, needs C++20 (ranges, span); C users are not affected.
  target_compile_features(${target} INTERFACE cxx_std_20)
  target_compile_definitions(${target} PRIVATE STRIXA_BUILDING_LIBRARY)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME strixa
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    POSITION_INDEPENDENT_CODE ON)
  strixa_warnings(${target})
endfunction()

# The soname follows the major version: libstrixa.so.N, packaged as libstrixaN.
set(STRIXA_SOVERSION ${PROJECT_VERSION_MAJOR})
strixa_library(strixa_shared SHARED)
set_target_properties(strixa_shared PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${STRIXA_SOVERSION})
if(WIN32)
  # strixa.dll beside its import library libstrixa.dll.a.
  set_target_properties(strixa_shared PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
  if(MINGW)
    # Like Strixa.exe, a DLL that needs no compiler runtime DLLs beside it.
    target_link_options(strixa_shared PRIVATE -static)
  endif()
elseif(NOT APPLE)
  set_property(TARGET strixa_shared APPEND PROPERTY LINK_DEPENDS
               ${PROJECT_SOURCE_DIR}/cmake/strixa.map)
  target_link_options(strixa_shared PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/strixa.map)
  if(NOT ENABLE_SANITIZERS AND NOT STRIXA_FUZZERS)
    target_link_options(strixa_shared PRIVATE -Wl,--no-undefined)
  endif()
endif()
target_link_libraries(strixa_shared PRIVATE ${strixaFormatLibraries})
add_library(Strixa::strixa ALIAS strixa_shared)

strixa_library(strixa_static STATIC)
# In the tree the imported targets; once installed, the libraries by name, as the pkg-config file
# gives them.
foreach(library ${strixaFormatLibraries})
  target_link_libraries(strixa_static INTERFACE $<BUILD_INTERFACE:${library}>)
endforeach()
foreach(name ${strixaFormatLinkNames})
  target_link_libraries(strixa_static INTERFACE $<INSTALL_INTERFACE:${name}>)
endforeach()
# Users of the static library must not expect the DLL's imports.
target_compile_definitions(strixa_static PUBLIC STRIXA_STATIC)
if(NOT MSVC AND NOT APPLE)
  # Its C++ objects need the C++ run-time library, which a C program's link does not bring.
  target_link_libraries(strixa_static INTERFACE $<$<NOT:$<LINK_LANGUAGE:CXX>>:stdc++> m)
endif()
if(WIN32)
  # Keeps libstrixa.dll.a (or strixa.lib) the DLL's import library.
  set_target_properties(strixa_static PROPERTIES OUTPUT_NAME strixa_static)
endif()
