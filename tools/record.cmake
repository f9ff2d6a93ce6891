# zk_record runs a program on the headless device from a script and writes
# PNG and GIF pictures of the run; the docs-pictures target remakes the
# README's pictures from docs/quib-demo.txt; zk_sheet draws sheets of the
# fonts and the art for people to look at.
if(NOT TARGET PNG::PNG)  # the web build brings its own
  find_package(PNG REQUIRED)
endif()

# The recording pieces, shared by the tool and the tests.
add_library(zkrecord STATIC
  ${CMAKE_CURRENT_LIST_DIR}/zk_recorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zk_gifwriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zk_png.cpp)
target_include_directories(zkrecord PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zkrecord PUBLIC zkplatform GIF::GIF PNG::PNG)

# The game library and the test suite are configured after this folder, so
# the recorder, its targets and the tests that run it and the install are
# added once everything exists.
function(zk_record_wire)
  set(dir ${PROJECT_SOURCE_DIR}/tools)
  # The README's pictures: a screenshot and a short animated GIF of a game.
  set(ZK_DEMO_SCRIPT ${PROJECT_SOURCE_DIR}/docs/quib-demo.txt)
  set(ZK_DEMO_FRAMES 869)
  set(ZK_DEMO_SHOT 721)
  if(TARGET quibgame)
    # The only program that links the game with the headless device.
    add_executable(zk_record ${dir}/zk_record.cpp $<TARGET_OBJECTS:zkdevice_headless>)
    target_compile_definitions(zk_record PRIVATE ZK_NO_MAIN_RENAME)
    target_link_libraries(zk_record PRIVATE zkrecord quibgame zklib)
    add_custom_target(docs-pictures
      COMMAND zk_record --program quib --script ${ZK_DEMO_SCRIPT} --frames ${ZK_DEMO_FRAMES}
              --png ${ZK_DEMO_SHOT}:${PROJECT_SOURCE_DIR}/docs/quib.png --gif ${PROJECT_SOURCE_DIR}/docs/quib.gif
      DEPENDS ${ZK_DEMO_SCRIPT}
      COMMENT "Recording docs/quib.png and docs/quib.gif from docs/quib-demo.txt"
      VERBATIM)
  endif()
  if(TARGET quibgame AND TARGET zktour)
    # Sheets for people to look at: the fonts, the small balls turned, the
    # board and the tour's scenes, at 3x (the tour at 1x) in build/sheets.
    add_executable(zk_sheet ${dir}/zk_sheet.cpp $<TARGET_OBJECTS:zkdevice_headless>)
    target_compile_definitions(zk_sheet PRIVATE ZK_NO_MAIN_RENAME)
    target_link_libraries(zk_sheet PRIVATE zkrecord quibgame zktour zklib)
    set(out ${CMAKE_BINARY_DIR}/sheets)
    add_custom_target(sheets
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
      COMMAND zk_sheet fonts ${out}/fonts.png
      COMMAND zk_sheet balls ${out}/balls.png
      COMMAND zk_sheet background ${out}/background.png
      COMMAND zk_sheet tour ${out}/tour.png 1
      COMMENT "Drawing the font, ball, background and tour sheets into ${out}"
      VERBATIM)
  endif()
  if(TARGET zk_tests)
    target_link_libraries(zk_tests PRIVATE zkrecord)
    add_test(NAME InstallStaging COMMAND ${PROJECT_SOURCE_DIR}/tests/install_test.sh ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR})
    set_tests_properties(InstallStaging PROPERTIES TIMEOUT 120)
    if(TARGET zk_record)
      add_test(NAME RecordReproducible
               COMMAND ${PROJECT_SOURCE_DIR}/tests/record_test.sh $<TARGET_FILE:zk_record> ${ZK_DEMO_SCRIPT} ${ZK_DEMO_FRAMES}
                       ${ZK_DEMO_SHOT})
      set_tests_properties(RecordReproducible PROPERTIES TIMEOUT 300)
    endif()
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL zk_record_wire)
