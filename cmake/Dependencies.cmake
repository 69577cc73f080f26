# Debian libraries behind the platform layers. Only platform/ links them directly.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(SDL2 REQUIRED)
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(OPENAL REQUIRED IMPORTED_TARGET openal)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale libswresample)
pkg_check_modules(ENET REQUIRED IMPORTED_TARGET libenet)
find_path(MOJOSHADER_INCLUDE_DIR mojoshader.h PATH_SUFFIXES mojoshader REQUIRED)
find_library(MOJOSHADER_LIBRARY mojoshader REQUIRED)
find_path(TINYGLTF_INCLUDE_DIR tiny_gltf.h REQUIRED)
find_path(STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb REQUIRED)

if(BEXAL_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(BEXAL_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()

# Every folder the compiler finds system and Debian headers in: the layer test tells a system
# header from a misspelt project include by them.
set(BEXAL_SYSTEM_INCLUDE_DIRS
  ${CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES} ${CMAKE_C_IMPLICIT_INCLUDE_DIRECTORIES}
  ${ZLIB_INCLUDE_DIRS} ${SDL2_INCLUDE_DIRS} ${EPOXY_INCLUDE_DIRS} ${OPENAL_INCLUDE_DIRS} ${FFMPEG_INCLUDE_DIRS}
  ${ENET_INCLUDE_DIRS} ${MOJOSHADER_INCLUDE_DIR} ${TINYGLTF_INCLUDE_DIR} ${STB_INCLUDE_DIR})
list(REMOVE_DUPLICATES BEXAL_SYSTEM_INCLUDE_DIRS)
