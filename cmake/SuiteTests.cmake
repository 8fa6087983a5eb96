# Run as a script once a test binary is linked: lists the binary's tests and writes the ctest file
# that runs them a suite at a time, in one process of the binary each, named <component>.<suite>.
# Starting a process costs more than most tests under the sanitizers, so a process per suite
# rather than per test; a suite of more than kMostTests tests is split into even parts
# (<component>.<suite>:<part>), so that no one process holds up the end of a parallel run. A
# failing suite's output names the tests that failed.
#
# cmake -D BINARY=<test binary> -D COMPONENT=<label> -D COST=<seconds a test typically takes>
#       -D WORKING_DIRECTORY=<dir> -D OUTPUT=<ctest file> -P SuiteTests.cmake
set(kMostTests 8)
execute_process(COMMAND "${BINARY}" --gtest_list_tests
  WORKING_DIRECTORY "${WORKING_DIRECTORY}"
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "listing the tests of ${BINARY} failed (${status}):\n${listing}${errors}")
endif()

# The listing names a suite on a line of its own ("Suite." or "Prefix/Suite/0.", perhaps followed
# by a comment on its type parameter), then each of its tests indented (perhaps followed by a
# comment on its value parameter). Disabled tests are left out, as GoogleTest leaves them out.
string(REPLACE ";" "," listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(suites "")
set(suite "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([^ #][^ ]*)\\.")
    set(suite "${CMAKE_MATCH_1}")
  elseif(suite AND NOT line MATCHES "^  DISABLED_" AND line MATCHES "^  ([^ #][^ ]*)")
    if(NOT DEFINED tests_${suite})
      list(APPEND suites "${suite}")
      set(tests_${suite} "")
    endif()
    list(APPEND tests_${suite} "${suite}.${CMAKE_MATCH_1}")
  endif()
endforeach()

if(NOT COST)
  set(COST 1)
endif()
set(script "")
# add(<name> <filter> <test count>): one ctest test running the binary's tests the filter selects.
macro(add name filter count)
  math(EXPR cost "${count} * ${COST}")
  string(APPEND script
    "add_test([==[${name}]==] [==[${BINARY}]==] [==[--gtest_filter=${filter}]==])\n"
    "set_tests_properties([==[${name}]==] PROPERTIES LABELS [==[${COMPONENT}]==] COST ${cost}"
    " WORKING_DIRECTORY [==[${WORKING_DIRECTORY}]==])\n")
endmacro()
foreach(suite IN LISTS suites)
  list(LENGTH tests_${suite} count)
  if(count LESS_EQUAL kMostTests)
    add("${COMPONENT}.${suite}" "${suite}.*" ${count})
    continue()
  endif()
  math(EXPR parts "(${count} + ${kMostTests} - 1) / ${kMostTests}")
  math(EXPR size "(${count} + ${parts} - 1) / ${parts}")
  set(part 1)
  set(start 0)
  while(start LESS count)
    list(SUBLIST tests_${suite} ${start} ${size} chosen)
    list(LENGTH chosen chosenCount)
    list(JOIN chosen ":" filter)
    add("${COMPONENT}.${suite}:${part}" "${filter}" ${chosenCount})
    math(EXPR part "${part} + 1")
    math(EXPR start "${start} + ${size}")
  endwhile()
endforeach()
file(WRITE "${OUTPUT}" "${script}")
