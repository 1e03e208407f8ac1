# qel_add_dll_test: an in-process end-to-end gtest suite that drives the real KZPROBEX.dll.
#
#   qel_add_dll_test(NAME <name> SOURCES <files...> [CPU <qemu -cpu model>...] [ARGS <args...>]
#                    [TIMEOUT <s>])
#
# Builds the 32-bit gtest executable <name> (linked with qel_loader and gtest_main, include
# dir = repo root) with the compile definition KZPROBEX_DLL_PATH="<path of the built DLL>";
# it builds after the DLL. Tests:
#   - without CPU: each gtest case becomes the ctest "<name>.<Suite>.<Case>", run natively
#     or under qemu-i386 where this kernel refuses 32-bit code;
#   - with CPU: one ctest "<name>@<model>" per model, always run as
#     ${QEMU_I386} -cpu <model> -L / <executable> [ARGS...], e.g. CPU pentium3 "qemu32,vendor=CyrixInstead".
# Calling it again with an existing NAME (SOURCES left out) only adds more CPU runs of that
# executable; ARGS (e.g. --gtest_filter=Suite.*) go to those runs.
# In the test: auto dll = qel::ExtenderDll::Load(KZPROBEX_DLL_PATH, &error);
function(qel_add_dll_test)
    cmake_parse_arguments(PARSE_ARGV 0 DLL_TEST "" "NAME;TIMEOUT" "SOURCES;CPU;ARGS")
    if(NOT DLL_TEST_NAME OR (NOT DLL_TEST_SOURCES AND NOT TARGET ${DLL_TEST_NAME}))
        message(FATAL_ERROR "qel_add_dll_test needs NAME and SOURCES")
    endif()
    if(NOT DLL_TEST_TIMEOUT)
        set(DLL_TEST_TIMEOUT 600)
    endif()
    if(NOT TARGET ${DLL_TEST_NAME})
        add_executable(${DLL_TEST_NAME} ${DLL_TEST_SOURCES})
        target_link_libraries(${DLL_TEST_NAME} PRIVATE qel_loader GTest::gtest_main)
        target_compile_definitions(${DLL_TEST_NAME} PRIVATE KZPROBEX_DLL_PATH="${KZPROBEX_DLL}")
        add_dependencies(${DLL_TEST_NAME} windows_half)
        kz_sanitize(${DLL_TEST_NAME})
    endif()
    # The sanitizer build runs each suite once, on this machine's processor.
    if(KZ_SANITIZE AND DLL_TEST_CPU)
        return()
    elseif(KZ_ASAN_SKIP_REASON)
        kz_add_skipped_test(${DLL_TEST_NAME}.sanitized)
        return()
    endif()
    if(NOT DLL_TEST_CPU)
        gtest_discover_tests(${DLL_TEST_NAME} TEST_PREFIX "${DLL_TEST_NAME}."
            DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT ${DLL_TEST_TIMEOUT})
        return()
    endif()
    foreach(model IN LISTS DLL_TEST_CPU)
        add_test(NAME ${DLL_TEST_NAME}@${model}
            COMMAND ${QEMU_I386} -cpu ${model} -L / $<TARGET_FILE:${DLL_TEST_NAME}> ${DLL_TEST_ARGS})
        set_tests_properties(${DLL_TEST_NAME}@${model} PROPERTIES TIMEOUT ${DLL_TEST_TIMEOUT})
    endforeach()
endfunction()
