# add_component(<name> [PUBLIC <targets...>] [PRIVATE <targets...>] [INCLUDE <dir>])
# One library per component folder; its sources are every .cpp below the folder.
# INCLUDE names the directory that public headers are included relative to
# (default: the folder's parent, so headers read as <Foundation/Value.h>).
function(add_component name)
  cmake_parse_arguments(C "" "INCLUDE" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  add_library(${name} STATIC ${sources})
  if(NOT C_INCLUDE)
    get_filename_component(C_INCLUDE ${CMAKE_CURRENT_SOURCE_DIR} DIRECTORY)
  endif()
  target_include_directories(${name} PUBLIC ${C_INCLUDE})
  target_link_libraries(${name} PUBLIC ${C_PUBLIC} PRIVATE ${C_PRIVATE})
endfunction()

# add_component_tests(<component> [LINKS <targets...>] [COST <seconds>])
# One test binary per component, from every .cpp in the calling folder, labelled with the component.
# COST is a typical test's run time: ctest starts costlier tests first until it has times of its own.
function(add_component_tests component)
  cmake_parse_arguments(T "" "COST" "LINKS" ${ARGN})
  if(NOT T_COST)
    set(T_COST 0)
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(target ${component}Tests)
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${component} ${T_LINKS} TestSupport GTest::gtest GTest::gmock)
  # ctest starts the binary once per test: a position-dependent test binary has next to nothing for
  # the loader to relocate at each start (a position-independent one has millions of relocations
  # under the sanitizers). The programs users run stay position-independent.
  target_link_options(${target} PRIVATE -no-pie)
  # Parameterised cases are named by their generators; printing the parameter's value into the
  # name as well would put raw bytes (pointers included) into it.
  gtest_discover_tests(${target}
    NO_PRETTY_VALUES
    PROPERTIES LABELS ${component} COST ${T_COST}
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
