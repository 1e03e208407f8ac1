# End-to-end tests of qelhost and its loader through the real KZPROBEX.dll.
set(host_tests_dir ${CMAKE_CURRENT_LIST_DIR})
set(host_test_sources
    ${host_tests_dir}/protocol_test.cpp
    ${host_tests_dir}/careless_host_test.cpp
    ${host_tests_dir}/function_calls_test.cpp
    ${host_tests_dir}/emulation_test.cpp
    ${host_tests_dir}/served_counter_test.cpp
    ${host_tests_dir}/loader_test.cpp
    ${host_tests_dir}/damaged_corpus_test.cpp
    ${host_tests_dir}/script_test.cpp
    ${host_tests_dir}/options_test.cpp
    ${host_tests_dir}/cli_test.cpp
    ${host_tests_dir}/planted_fault_test.cpp
    ${host_tests_dir}/sandbox_test.cpp
    ${host_tests_dir}/speed_arguments_test.cpp
    ${host_tests_dir}/virtual_processor_test.cpp
    ${host_tests_dir}/survey_test.cpp)
# Each test takes seconds at most; under qemu-i386 with ASan, qelhost's starts take many.
set(host_tests_timeout 600)
if(KZ_SANITIZE)
    set(host_tests_timeout 1800)
endif()
# Under qemu-i386 its cases run in 12 processes, each some seconds of qelhost starts; with
# ASan each start takes several times as long (a shard 9 s alone, 31 s beside a build), so
# there in 24.
set(host_tests_shards 12)
if(KZ_SANITIZE)
    set(host_tests_shards 24)
endif()
qel_add_dll_test(NAME host_tests SOURCES ${host_test_sources} TIMEOUT ${host_tests_timeout}
    SHARDS ${host_tests_shards})
target_link_libraries(host_tests PRIVATE qel_cli)
# The command-line tests run qelhost through its launcher.
target_compile_definitions(host_tests PRIVATE QELHOST_RUNNER="${CMAKE_BINARY_DIR}/host/run-qelhost")
add_dependencies(host_tests qelhost qelhost_runner)
# The loader's tests also ask the runner (a prebuilt one in the sanitizer build, if any).
if(KZ_SANITIZE)
    set(runner_program "${KZ_PREBUILT_RUNNER}")
else()
    set(runner_program "$<TARGET_FILE:qelhost_runner>")
endif()
target_compile_definitions(host_tests PRIVATE QEL_QEMU_PROGRAM="${QEMU_I386}"
    QEL_RUNNER_PROGRAM="${runner_program}")

# The protocol suites and the argument checks again on other processors (a check that
# came after a measurement would read a clock on a clone's route).
qel_add_dll_test_runs(NAME host_tests
    CPU athlon pentium3 kvm32 Dhyana
        "qemu32,vendor=AuthenticAMD,level=0"
    ARGS --gtest_filter=DllTest.*:Protocol/*:Numbers/*:Codes/*:Versions/*:Table/*:Indexes/*:Checks/*)
