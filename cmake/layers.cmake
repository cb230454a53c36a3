# tidecharter_layer(<folder> [BELOW <layer>...] [SOURCES <file>...]
#                   [EXECUTABLE <name>])
#
# The folder's sources as the library tidecharter_<folder> (or as the
# program <name>), linking the layers named BELOW and through them theirs.
# Its include path is <build>/layers/<folder>, a directory holding only a
# link to the folder itself: with the views of the layers below, passed on
# by the links, a layer finds "<folder>/<header>.h" of itself and of what
# lies below, and nothing of what lies above.
#
# Qt's moc runs only where a layer asks for it (the toolkit).
function(tidecharter_layer folder)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "EXECUTABLE" "BELOW;SOURCES")
  set(view ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  if(arg_EXECUTABLE)
    set(target ${arg_EXECUTABLE})
    add_executable(${target} ${sources} ${arg_SOURCES})
    target_include_directories(${target} PRIVATE ${view})
    set(scope PRIVATE)
  else()
    set(target tidecharter_${folder})
    add_library(${target} STATIC ${sources} ${arg_SOURCES})
    target_include_directories(${target} PUBLIC ${view})
    set(scope PUBLIC)
  endif()
  foreach(lower IN LISTS arg_BELOW)
    target_link_libraries(${target} ${scope} tidecharter_${lower})
  endforeach()
  if(NOT folder STREQUAL "toolkit")
    set_target_properties(${target} PROPERTIES AUTOMOC OFF)
  endif()
endfunction()
