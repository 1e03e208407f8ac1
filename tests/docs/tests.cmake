# The function reference's examples, run through qelhost and the real DLL.
add_executable(function_examples_test ${CMAKE_CURRENT_LIST_DIR}/function_examples_test.cpp)
target_link_libraries(function_examples_test PRIVATE qel_dll_harness GTest::gtest_main)
target_compile_definitions(function_examples_test PRIVATE
    QELHOST_RUNNER="${CMAKE_BINARY_DIR}/host/run-qelhost"
    KZ_FUNCTION_REFERENCE="${CMAKE_SOURCE_DIR}/docs/functions.md")
add_dependencies(function_examples_test qelhost_tools)
add_test(NAME docs.function_examples COMMAND function_examples_test)
set_tests_properties(docs.function_examples PROPERTIES TIMEOUT 300)
