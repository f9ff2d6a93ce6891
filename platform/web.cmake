# The web build, configured through emcmake (scripts/web.sh does it): the
# programs become a page, its script and its WebAssembly each, on the web
# device; the recorder and the composition timer become node programs on the
# headless device, to compare their output and speed with
# the native build.
#
# emcc has no giflib, zlib or libpng of its own here (its ports download at
# build time), so they are compiled from their upstream sources, which the
# scripts fetch through apt into .cache/ with their checksums verified.
set(ZK_TESTS OFF)
set(ZK_BENCH OFF)

# The blitters' 16-byte vector builds become WebAssembly SIMD.
add_compile_options(-msimd128)

function(zk_fetch_source out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE dir RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  if(failed OR NOT IS_DIRECTORY "${dir}")
    message(FATAL_ERROR "cannot fetch a library's source: ${ARGN}")
  endif()
  set(${out} "${dir}" PARENT_SCOPE)
endfunction()

# The top level builds giflib from ZK_GIFLIB_SOURCE.
zk_fetch_source(ZK_GIFLIB_SOURCE scripts/giflib-source.sh)
zk_fetch_source(ZK_ZLIB_DIR scripts/upstream-source.sh zlib 1.2.13
                71feb7947e3c00ef125f83b79a4e529bde31171e5babe48b391f06758d1ab0a1)
zk_fetch_source(ZK_LIBPNG_DIR scripts/upstream-source.sh libpng1.6 1.6.39
                a00e9d2f2f664186e4202db9299397f851aea71b36a35e74910b8820e380d441 libpng)

# Third-party code is compiled as its makers ship it, without our warnings.
function(zk_source_library name dir)
  list(TRANSFORM ARGN PREPEND ${dir}/ OUTPUT_VARIABLE files)
  add_library(${name} STATIC ${files})
  target_include_directories(${name} SYSTEM PUBLIC ${dir})
  target_compile_options(${name} PRIVATE -w)
endfunction()

zk_source_library(zkzlib ${ZK_ZLIB_DIR} adler32.c compress.c crc32.c deflate.c inffast.c inflate.c inftrees.c
                  trees.c uncompr.c zutil.c)
zk_source_library(zkpng ${ZK_LIBPNG_DIR} png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c
                  pngrtran.c pngrutil.c pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c)
configure_file(${ZK_LIBPNG_DIR}/scripts/pnglibconf.h.prebuilt ${CMAKE_BINARY_DIR}/libpng/pnglibconf.h COPYONLY)
target_include_directories(zkpng SYSTEM PUBLIC ${CMAKE_BINARY_DIR}/libpng)
target_link_libraries(zkpng PUBLIC zkzlib)
add_library(PNG::PNG ALIAS zkpng)

# Once every folder is configured: the programs become pages in site/, the
# folder to serve; the programs that record runs on the headless device (the
# recorder, the composition timer) run under node, on the real file system.
function(zk_web_wire)
  foreach(program quib zk_tour)
    set_target_properties(${program} PROPERTIES SUFFIX ".html"
                          RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/site)
  endforeach()
  target_link_options(zkrecord INTERFACE -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1
                      -sALLOW_MEMORY_GROWTH=1 -sSINGLE_FILE=1)
  configure_file(${PROJECT_SOURCE_DIR}/platform/zk_web_index.html ${CMAKE_BINARY_DIR}/site/index.html COPYONLY)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL zk_web_wire)
