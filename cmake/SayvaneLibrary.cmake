# One static library per folder of the source tree. A folder's headers are included by their
# bare names, from its own sources and from the libraries that link it: a library sees the
# headers of the libraries below it and no others, so an include that points up the layers
# does not compile.
#
#   sayvane_library(name SOURCES ... [DEPENDS lib ...] [PRIVATE lib ...])
function(sayvane_library name)
    cmake_parse_arguments(arg "" "" "SOURCES;DEPENDS;PRIVATE" ${ARGN})
    add_library(${name} STATIC ${arg_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC sayvane_config ${arg_DEPENDS} PRIVATE ${arg_PRIVATE})
endfunction()
