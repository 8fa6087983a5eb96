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
# COST is a typical test's run time: ctest starts costlier suites first until it has times of its own.
function(add_component_tests component)
  cmake_parse_arguments(T "" "COST" "LINKS" ${ARGN})
  if(NOT T_COST)
    set(T_COST 0)
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(target ${component}Tests)
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${component} ${T_LINKS} TestSupport GTest::gtest GTest::gmock)
  # ctest starts the binary once per suite: a position-dependent test binary has next to nothing
  # for the loader to relocate at each start (a position-independent one has millions of
  # relocations under the sanitizers). The programs users run stay position-independent.
  target_link_options(${target} PRIVATE -no-pie)
  # Once linked, the binary's suites become ctest's tests (cmake/SuiteTests.cmake); until then
  # ctest reports the binary as not built.
  set(suites_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -D BINARY=$<TARGET_FILE:${target}> -D COMPONENT=${component}
            -D COST=${T_COST} -D WORKING_DIRECTORY=${CMAKE_CURRENT_BINARY_DIR} -D OUTPUT=${suites_file}
            -P ${PROJECT_SOURCE_DIR}/cmake/SuiteTests.cmake
    BYPRODUCTS ${suites_file}
    VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/SuiteTests.cmake)
  file(WRITE ${include_file}
    "if(EXISTS [==[${suites_file}]==])\n"
    "  include([==[${suites_file}]==])\n"
    "else()\n"
    "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
