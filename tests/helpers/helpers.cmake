# SPDX-License-Identifier: MIT
# Helper programs that tests start as child processes, and what those tests link besides
# their folder's layer.

# Saves a database in a loop until killed (tests/data/tst_crashsafety.cpp).
add_executable(vdm-crashwriter ${CMAKE_CURRENT_LIST_DIR}/crashwriter.cpp)
target_link_libraries(vdm-crashwriter PRIVATE vdm_data)
vdm_target_defaults(vdm-crashwriter)

if(TARGET tst_data)
  add_dependencies(tst_data vdm-crashwriter)
  target_compile_definitions(tst_data PRIVATE VDM_CRASHWRITER="$<TARGET_FILE:vdm-crashwriter>")
endif()
