# The product's libraries in their layers (the table in CMakeLists.txt), each
# from its own folder's source list. The fuzz project (tests/fuzz) builds these
# same libraries with its own instrumentation; the programs (app/) and the
# tests are the top-level project's alone.
set(_kvt_root ${CMAKE_CURRENT_LIST_DIR}/..)
include(${CMAKE_CURRENT_LIST_DIR}/BaseLayer.cmake)
add_library(kvt_http STATIC)
target_link_libraries(kvt_http PUBLIC kvt_base)
add_library(kvt_platform STATIC)
target_link_libraries(kvt_platform PUBLIC kvt_pe kvt_base)
add_library(kvt_analytics STATIC)
target_link_libraries(kvt_analytics PUBLIC kvt_platform kvt_http)
add_library(kvtcore STATIC)
target_link_libraries(kvtcore PUBLIC kvt_analytics kvt_platform kvt_http kvt_base)
foreach(_kvt_folder platform/pe platform bootstrap configure analytics http)
  add_subdirectory(${_kvt_root}/${_kvt_folder} ${CMAKE_BINARY_DIR}/${_kvt_folder})
endforeach()
