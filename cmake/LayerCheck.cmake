# The layers as the build enforces them (target kirvo_layer_check, run by .ci/run):
#
# - Includes: scripts/check-layers fails on a header of a layer above (also the
#   test layer_includes of the fast suite).
# - Links: each layer's library links on its own, with only what it declares
#   it depends on. A program made of all of the library's objects (whole
#   archive) and its dependencies leaves a call into a layer above, or a cycle
#   between two libraries, undefined, which the real programs (linking every
#   layer) never show.

set(KIRVO_LAYER_LIBRARIES kirvo_platform kirvo_platform_snapshot kirvo_platform_sftp kirvo_engine kirvo_fileops kirvo_sync kirvo_view
    kirvo_app kirvo_cli_lib kirvo_view_qt kirvo_fileops_qt kirvo_gui)

set(kirvo_link_check_main ${CMAKE_BINARY_DIR}/layer_check_main.cpp)
file(GENERATE OUTPUT ${kirvo_link_check_main} CONTENT "int main() { return 0; }\n")

add_custom_target(kirvo_layer_check
                  COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-layers ${CMAKE_SOURCE_DIR}
                  COMMENT "Schichten: Einschlüsse und Bindung jeder Bibliothek für sich")
foreach(layer IN LISTS KIRVO_LAYER_LIBRARIES)
  if(TARGET ${layer})
    add_executable(link_check_${layer} EXCLUDE_FROM_ALL ${kirvo_link_check_main})
    target_link_libraries(link_check_${layer} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${layer}>")
    add_dependencies(kirvo_layer_check link_check_${layer})
  endif()
endforeach()

if(KIRVO_BUILD_TESTS)
  add_test(NAME layer_includes COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-layers ${CMAKE_SOURCE_DIR})
  set_tests_properties(layer_includes PROPERTIES LABELS core)
endif()
