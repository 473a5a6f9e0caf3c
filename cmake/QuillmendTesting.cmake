# The suites live beside the library they test, in its tests/ folder.
#
# quillmend_add_test(NAME LIBRARY...): the QtTest suite NAME.cpp of the
# calling folder, linked with the LIBRARYs it tests, run by CTest. Under Wine
# the console output does not reach CTest: each suite also writes its log
# beside itself there.
function(quillmend_add_test name)
  add_executable(${name} ${name}.cpp)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARGN} Qt6::Core Qt6::Test)
  quillmend_run_test(${name} ${name})
endfunction()

# quillmend_run_test(TEST SUITE): runs the suite SUITE as the test TEST.
function(quillmend_run_test test suite)
  if(WIN32)
    add_test(NAME ${test} COMMAND ${suite} -o ${test}.log,txt -o -,txt)
  else()
    add_test(NAME ${test} COMMAND ${suite})
  endif()
endfunction()
