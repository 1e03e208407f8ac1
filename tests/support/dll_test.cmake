# In-process end-to-end gtest suites that drive the real KZPROBEX.dll.
#
#   qel_add_dll_test(NAME <name> SOURCES <files...> [TIMEOUT <s>] [SHARDS <n>]
#                    [NATIVE_RUN_AS_ONE])
#
# Builds the 32-bit gtest executable <name> (linked with qel_dll_harness, which brings
# qel_linux, the whole host in-process, the shared DLL and KZPROBEX_DLL_PATH, and
# gtest_main); it builds after the DLL.
# Its native tests run natively or under qemu-i386 where this kernel refuses 32-bit code:
# each gtest case becomes the ctest "<name>.<Suite>.<Case>", or with NATIVE_RUN_AS_ONE the
# whole program is the one ctest "<name>.this_processor". Under qemu-i386 the cases run in
# SHARDS processes instead (kz_add_gtest_cases). TIMEOUT (default 600 s) bounds each.
# In the test: host_test::SharedDll(), or qel::ExtenderDll::Load(KZPROBEX_DLL_PATH, &error).
#
#   qel_add_dll_test_runs(NAME <name> CPU <qemu -cpu model>... [ARGS <args...>] [TIMEOUT <s>])
#
# Adds runs of the existing program <name> under qemu's processor models: one ctest
# "<name>@<model>" per model, run as ${QEMU_I386} -cpu <model> -L / <executable> [ARGS...],
# e.g. CPU pentium3 "qemu32,vendor=CyrixInstead"; ARGS (e.g. --gtest_filter=Suite.*) go to
# those runs. TIMEOUT (default 600 s) bounds each run.

function(qel_add_dll_test)
    cmake_parse_arguments(PARSE_ARGV 0 DLL_TEST "NATIVE_RUN_AS_ONE" "NAME;TIMEOUT;SHARDS"
        "SOURCES")
    if(NOT DLL_TEST_NAME OR NOT DLL_TEST_SOURCES)
        message(FATAL_ERROR "qel_add_dll_test needs NAME and SOURCES")
    endif()
    if(NOT DLL_TEST_TIMEOUT)
        set(DLL_TEST_TIMEOUT 600)
    endif()
    add_executable(${DLL_TEST_NAME} ${DLL_TEST_SOURCES})
    target_link_libraries(${DLL_TEST_NAME} PRIVATE qel_dll_harness GTest::gtest_main)
    add_dependencies(${DLL_TEST_NAME} windows_half)
    kz_sanitize(${DLL_TEST_NAME})
    if(KZ_ASAN_SKIP_REASON)
        kz_add_skipped_test(${DLL_TEST_NAME}.sanitized)
    elseif(DLL_TEST_NATIVE_RUN_AS_ONE)
        add_test(NAME ${DLL_TEST_NAME}.this_processor
            COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${DLL_TEST_NAME}>)
        set_tests_properties(${DLL_TEST_NAME}.this_processor PROPERTIES
            TIMEOUT ${DLL_TEST_TIMEOUT})
    else()
        kz_add_gtest_cases(${DLL_TEST_NAME} "${DLL_TEST_NAME}." TIMEOUT ${DLL_TEST_TIMEOUT}
            SHARDS ${DLL_TEST_SHARDS})
    endif()
endfunction()

function(qel_add_dll_test_runs)
    cmake_parse_arguments(PARSE_ARGV 0 DLL_TEST "" "NAME;TIMEOUT" "CPU;ARGS")
    if(NOT DLL_TEST_NAME OR NOT DLL_TEST_CPU)
        message(FATAL_ERROR "qel_add_dll_test_runs needs NAME and CPU")
    endif()
    if(NOT TARGET ${DLL_TEST_NAME})
        message(FATAL_ERROR "qel_add_dll_test_runs: no test program ${DLL_TEST_NAME}"
            " (qel_add_dll_test makes it)")
    endif()
    # The sanitizer build runs each suite once, on this machine's processor.
    if(KZ_SANITIZE)
        return()
    endif()
    if(NOT DLL_TEST_TIMEOUT)
        set(DLL_TEST_TIMEOUT 600)
    endif()
    foreach(model IN LISTS DLL_TEST_CPU)
        add_test(NAME ${DLL_TEST_NAME}@${model}
            COMMAND ${QEMU_I386} -cpu ${model} -L / $<TARGET_FILE:${DLL_TEST_NAME}> ${DLL_TEST_ARGS})
        set_tests_properties(${DLL_TEST_NAME}@${model} PROPERTIES TIMEOUT ${DLL_TEST_TIMEOUT})
    endforeach()
endfunction()
