# Quib's pictures: the painting tool, the `assets` target that regenerates
# game/assets/ from it, and the step that embeds each GIF into a program as a
# constant byte array.
#
# Run as a script (cmake -DIN=x.gif -DOUT=x.cpp -DNAME=x -P assets.cmake) this
# file writes one generated source:
#   extern const uint8_t NAME[] = {...};  extern const size_t NAME_size = ...;
if(CMAKE_SCRIPT_MODE_FILE)
  file(READ "${IN}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  # 16 bytes a line: break the digits every 32, then turn pairs into bytes.
  string(REPEAT "[0-9a-f]" 32 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  file(WRITE "${OUT}"
       "// Generated from ${NAME}.gif by the embedding step; do not edit.\n"
       "#include <cstddef>\n#include <cstdint>\n\n"
       "extern const uint8_t ${NAME}[${size}] = {\n    ${bytes}\n};\n"
       "extern const size_t ${NAME}_size = ${size};\n")
  return()
endif()

if(NOT TARGET PNG::PNG)  # the web build brings its own
  find_package(PNG REQUIRED)
endif()
add_executable(zk_assets ${CMAKE_CURRENT_LIST_DIR}/zk_assets.cpp ${CMAKE_CURRENT_LIST_DIR}/zk_picture.cpp)
target_link_libraries(zk_assets PRIVATE GIF::GIF PNG::PNG)

add_custom_target(assets
  COMMAND zk_assets ${PROJECT_SOURCE_DIR}/game/assets
  COMMENT "Painting the game's pictures into game/assets"
  VERBATIM)

# The desktop icons of both programs, painted at every build into
# icons/hicolor/<n>x<n>/apps/ and installed from there.
set(ZK_ICON_FILES)
foreach(size 16 32 48 128 256)
  foreach(program quib zk_tour)
    list(APPEND ZK_ICON_FILES ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/${program}.png)
  endforeach()
endforeach()
add_custom_command(OUTPUT ${ZK_ICON_FILES}
  COMMAND zk_assets --icons ${CMAKE_BINARY_DIR}/icons
  DEPENDS zk_assets
  COMMENT "Painting the desktop icons"
  VERBATIM)
add_custom_target(icons ALL DEPENDS ${ZK_ICON_FILES})
include(GNUInstallDirs)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# zk_embed_gifs(target a.gif b.gif ...): adds to target one generated source
# per picture, built in the build folder, with the byte array named after the
# file (quib_canon.gif -> quib_canon, quib_canon_size).
function(zk_embed_gifs target)
  foreach(gif IN LISTS ARGN)
    get_filename_component(name "${gif}" NAME_WE)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded/${name}.cpp")
    add_custom_command(
      OUTPUT "${out}"
      COMMAND ${CMAKE_COMMAND} -DIN=${gif} -DOUT=${out} -DNAME=${name} -P "${CMAKE_CURRENT_FUNCTION_LIST_FILE}"
      DEPENDS "${gif}" "${CMAKE_CURRENT_FUNCTION_LIST_FILE}"
      COMMENT "Embedding ${name}.gif"
      VERBATIM)
    target_sources(${target} PRIVATE "${out}")
  endforeach()
endfunction()
