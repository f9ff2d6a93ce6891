# The engine tour's pictures come from the same painting tool as the game's:
# `zk_assets --tour <folder>` paints them, and the `tour_assets` target
# regenerates examples/tour/assets/ with it.
target_sources(zk_assets PRIVATE ${CMAKE_CURRENT_LIST_DIR}/zk_assets_tour.cpp)

add_custom_target(tour_assets
  COMMAND zk_assets --tour ${PROJECT_SOURCE_DIR}/examples/tour/assets
  COMMENT "Painting the tour's pictures into examples/tour/assets"
  VERBATIM)
