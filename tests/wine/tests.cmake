# The Wine tier: the DLL under an independent implementation of the Windows loader and Win32
# calls. qelhost.exe against the Linux qelhost, the Windows program of tests/wine/windows
# against the real APIs and the real message box, and the release package as a user unpacks
# it. Where Wine cannot run, one test says why and counts as skipped.
set(wine_tests_dir ${CMAKE_CURRENT_LIST_DIR})
set(wine_state ${CMAKE_BINARY_DIR}/wine)
set(windows_api_check ${KZ_WINDOWS_BINARY_DIR}/windows_api_check.exe)

find_program(WINE wine)
find_program(XVFB Xvfb)
set(wine_skip_reason "")
# Where the set-up could not install Wine, it recorded why.
set(wine_unavailable ${CMAKE_SOURCE_DIR}/.deps/unavailable/wine_tools)
if(EXISTS ${wine_unavailable})
    file(READ ${wine_unavailable} wine_skip_reason)
    string(STRIP "${wine_skip_reason}" wine_skip_reason)
elseif(NOT KZ_RUNS_NATIVE_32)
    set(wine_skip_reason "32-bit programs do not run natively here, and Wine needs them (under qemu-i386 it cannot load kernel32.dll)")
elseif(NOT WINE OR NOT XVFB)
    set(wine_skip_reason "Wine or Xvfb is not installed (scripts/bootstrap --tests installs them where it can)")
elseif(KZ_PREBUILT_DLL)
    set(wine_skip_reason "this build has no Windows half of its own")
endif()

if(wine_skip_reason)
    message(STATUS "Wine tier skipped: ${wine_skip_reason}")
    add_test(NAME wine.unavailable COMMAND sh -c "echo '${wine_skip_reason}'; exit 77")
    set_tests_properties(wine.unavailable PROPERTIES SKIP_RETURN_CODE 77)
    return()
endif()
message(STATUS "Wine tier: ${WINE}")

# One virtual display and one wineserver for the whole tier, started before its first test
# and ended after its last.
add_test(NAME wine.start COMMAND ${wine_tests_dir}/run_wine ${wine_state} --start)
add_test(NAME wine.stop COMMAND ${wine_tests_dir}/run_wine ${wine_state} --stop)
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)

# The same command lines through qelhost.exe under Wine and through the Linux qelhost.
add_executable(wine_parity_test ${wine_tests_dir}/parity_test.cpp)
target_link_libraries(wine_parity_test PRIVATE qel_dll_harness GTest::gtest_main)
target_compile_definitions(wine_parity_test PRIVATE
    QELHOST_RUNNER="${CMAKE_BINARY_DIR}/host/run-qelhost"
    RUN_WINE="${wine_tests_dir}/run_wine" WINE_STATE="${wine_state}"
    QELHOST_EXE="${KZ_WINDOWS_BINARY_DIR}/qelhost.exe")
# --cpu starts the runner in the Linux host.
add_dependencies(wine_parity_test qelhost qelhost_runner windows_half)
gtest_discover_tests(wine_parity_test TEST_PREFIX "wine.parity." DISCOVERY_TIMEOUT 60
    PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)

# The loader, the string table, the version resource and the protocol through the real APIs.
add_test(NAME wine.windows_api
    COMMAND ${wine_tests_dir}/run_wine ${wine_state} ${windows_api_check} api ${KZPROBEX_DLL})
# cversioninfo's message box on the virtual display, closed with OK, then with Cancel.
add_test(NAME wine.message_box
    COMMAND ${wine_tests_dir}/run_wine ${wine_state} ${windows_api_check} box ${KZPROBEX_DLL})
# The release zip unpacked as a user would: its checksums, then its qelhost.exe from there.
add_test(NAME wine.release_package
    COMMAND ${wine_tests_dir}/check_release_package ${CMAKE_SOURCE_DIR}/scripts/package
        ${KZPROBEX_DLL} ${KZ_WINDOWS_BINARY_DIR}/qelhost.exe ${wine_tests_dir}/run_wine
        ${wine_state})
set_tests_properties(wine.windows_api wine.message_box wine.release_package PROPERTIES
    FIXTURES_REQUIRED wine TIMEOUT 120)
set_tests_properties(wine.release_package PROPERTIES SKIP_RETURN_CODE 77)
