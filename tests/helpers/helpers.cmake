# SPDX-License-Identifier: MIT
# Helper programs that tests start as child processes, and what those tests link besides
# their folder's layer.

# Saves a database or a map image in a loop until killed (tests/data/tst_crashsafety.cpp,
# tests/map/tst_imagefile.cpp).
add_executable(vdm-crashwriter ${CMAKE_CURRENT_LIST_DIR}/crashwriter.cpp)
target_link_libraries(vdm-crashwriter PRIVATE vdm_map)
vdm_target_defaults(vdm-crashwriter)

if(TARGET tst_data)
  add_dependencies(tst_data vdm-crashwriter)
  target_compile_definitions(tst_data PRIVATE VDM_CRASHWRITER="$<TARGET_FILE:vdm-crashwriter>")
endif()
if(TARGET tst_map)
  add_dependencies(tst_map vdm-crashwriter)
  target_compile_definitions(tst_map PRIVATE VDM_CRASHWRITER="$<TARGET_FILE:vdm-crashwriter>")
endif()

# The command-line tests run the program and the tools themselves.
if(TARGET tst_tools)
  add_dependencies(tst_tools veldamar-map veldamar-render veldamar-worldgen)
  target_link_libraries(tst_tools PRIVATE vdm_cli)
  target_compile_definitions(tst_tools PRIVATE
    VDM_MAP_PROGRAM="$<TARGET_FILE:veldamar-map>"
    VDM_RENDER_PROGRAM="$<TARGET_FILE:veldamar-render>"
    VDM_WORLDGEN_PROGRAM="$<TARGET_FILE:veldamar-worldgen>")
endif()

# The real program, which tst_program starts to see it end on its own.
if(TARGET tst_app)
  add_dependencies(tst_app veldamar-map veldamar-render)
  target_compile_definitions(tst_app PRIVATE VDM_PROGRAM="$<TARGET_FILE:veldamar-map>"
    VDM_RENDER_PROGRAM="$<TARGET_FILE:veldamar-render>")
endif()

# Plays a window and another program merging on one world until killed (tests/world/tst_mergecrash.cpp).
add_executable(vdm-mergewriter ${CMAKE_CURRENT_LIST_DIR}/mergewriter.cpp)
target_link_libraries(vdm-mergewriter PRIVATE vdm_world)
vdm_target_defaults(vdm-mergewriter)

if(TARGET tst_world)
  add_dependencies(tst_world vdm-mergewriter)
  target_compile_definitions(tst_world PRIVATE VDM_MERGEWRITER="$<TARGET_FILE:vdm-mergewriter>")
endif()

# Types notes into a world written in the background until killed (tests/world/tst_backgroundwrites.cpp).
add_executable(vdm-notewriter ${CMAKE_CURRENT_LIST_DIR}/notewriter.cpp)
target_link_libraries(vdm-notewriter PRIVATE vdm_world)
vdm_target_defaults(vdm-notewriter)

if(TARGET tst_world)
  add_dependencies(tst_world vdm-notewriter)
  target_compile_definitions(tst_world PRIVATE VDM_NOTEWRITER="$<TARGET_FILE:vdm-notewriter>")
endif()
