# Shared settings for every target of the project.
function(bexal_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-unused-parameter)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# A static library for one subsystem or platform layer. Every library is listed, so that the
# library graph can be written out for the layer test (bexal_write_library_graph).
function(bexal_library name)
  add_library(${name} STATIC ${ARGN})
  bexal_target_defaults(${name})
  set_property(GLOBAL APPEND PROPERTY BEXAL_LIBRARIES ${name})
endfunction()

# The library of a subsystem folder, linked to the libraries below it that it uses. While the
# folder has no sources yet, an interface library keeps its name and its dependencies.
function(bexal_subsystem name dir)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;DEPENDS" ${ARGN})
  bexal_sources(sources ${dir} EXCLUDE ${ARG_EXCLUDE})
  if(sources)
    bexal_library(${name} ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
    set_property(GLOBAL APPEND PROPERTY BEXAL_LIBRARIES ${name})
  endif()
endfunction()

# Writes each listed library with the project libraries it links directly, one line each
# ("name: dependency dependency"), for the layer test to check against the layer table.
function(bexal_write_library_graph file)
  get_property(libraries GLOBAL PROPERTY BEXAL_LIBRARIES)
  list(APPEND libraries lumora device_interface)
  set(text "")
  foreach(library ${libraries})
    set(links)
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(value ${library} ${property})
      if(value)
        list(APPEND links ${value})
      endif()
    endforeach()
    set(dependencies)
    foreach(link ${links})
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(link IN_LIST libraries)
        list(APPEND dependencies ${link})
      endif()
    endforeach()
    list(REMOVE_DUPLICATES dependencies)
    list(JOIN dependencies " " dependencies)
    string(APPEND text "${library}: ${dependencies}\n")
  endforeach()
  file(WRITE ${file} "${text}")
endfunction()

# The shared main of every test program, and the one precompiled header they all use: the test
# framework and the standard headers most tests include are parsed once per build, not once per
# test file. Every test file is compiled with the options set here.
function(bexal_test_support)
  add_library(bexal_test_main STATIC ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
  bexal_test_options(bexal_test_main)
  target_link_libraries(bexal_test_main PUBLIC GTest::gtest)
  # Compiled as the test programs are (position-independent executable code, not library code),
  # or the compiler refuses the header for them.
  target_compile_options(bexal_test_main PRIVATE -fPIE)
  target_precompile_headers(bexal_test_main PRIVATE
    <gtest/gtest.h> <algorithm> <cmath> <cstdint> <cstring> <filesystem> <fstream> <functional> <memory>
    <string> <vector>)
endfunction()

# Test code is compiled lighter than the product: optimised a little, with line tables (enough for
# a sanitizer's or debugger's backtrace) instead of full debug information, which costs more than
# half of a test file's compile time. The precompiled header is only used under the same options.
function(bexal_test_options target)
  bexal_target_defaults(${target})
  # A precompiled header the compiler cannot use would silently cost the whole saving: an error.
  target_compile_options(${target} PRIVATE -O1 -g1 -Werror=invalid-pch)
  target_compile_definitions(${target} PRIVATE
    BEXAL_DATA_DIR="${BEXAL_DATA_DIR}"
    BEXAL_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
    BEXAL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endfunction()

# One test program per test folder; each test case is its own ctest entry. Tests run in
# their own build folder with the demo data set at BEXAL_DATA_DIR, headless (tests/support).
function(bexal_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  bexal_test_options(${name})
  target_precompile_headers(${name} REUSE_FROM bexal_test_main)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} bexal_test_main GTest::gmock)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60)
endfunction()

function(bexal_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  bexal_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()

# Adds every sub-folder of the current folder that has its own CMakeLists.txt, so that a new
# layer or test folder needs no edit of its parent.
function(bexal_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# The sources of a folder tree, minus the listed sub-folders and files.
function(bexal_sources out dir)
  cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(ex ${ARG_EXCLUDE})
    list(FILTER found EXCLUDE REGEX "^${dir}/${ex}(/|$)")
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
