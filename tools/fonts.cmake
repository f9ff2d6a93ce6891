# The built-in fonts: tools/fonts holds their glyph sheets, the editable
# source; zk_fontgen packs them into engine/zk_fontdata.cpp and
# engine/zk_debugfont.cpp, which are checked in so that the engine builds
# without running a host tool. `cmake --build build --target fonts` rewrites
# them after a sheet is edited, and the test fontdata_matches_sheets fails
# while they differ from what the sheets give.
add_executable(zk_fontgen ${CMAKE_CURRENT_LIST_DIR}/zk_fontgen.cpp)
add_custom_target(fonts
  COMMAND zk_fontgen ${CMAKE_CURRENT_LIST_DIR}/fonts ${CMAKE_SOURCE_DIR}/engine
  COMMENT "Packing the font sheets into engine/zk_fontdata.cpp and engine/zk_debugfont.cpp")
if(ZK_TESTS)
  enable_testing()
  add_test(NAME fontdata_matches_sheets
    COMMAND zk_fontgen --check ${CMAKE_CURRENT_LIST_DIR}/fonts ${CMAKE_SOURCE_DIR}/engine)
endif()
