# The real DLL in the runner on emulated processors without CMOV, where 32-bit glibc (and so
# qelhost and the gtest suites themselves) cannot start: the test program runs here and
# drives the runner under qemu-i386 -cpu MODEL.
add_executable(runner_e2e ${CMAKE_CURRENT_LIST_DIR}/emulated_processors_test.cpp)
target_link_libraries(runner_e2e PRIVATE qel_cli qel_dll_harness GTest::gtest_main)
target_compile_definitions(runner_e2e PRIVATE QEL_QEMU="${QEMU_I386}" QEL_RUNNER="$<TARGET_FILE:qelhost_runner>")
add_dependencies(runner_e2e windows_half qelhost_runner)
kz_add_gtest_cases(runner_e2e runner. TIMEOUT 300 SHARDS 4)

# The runner must start on the oldest models qemu offers (486, pentium): nothing of the P6
# or later (CMOV, the multi-byte NOP, FCOMI, SSE registers, SYSENTER) anywhere in it.
add_test(NAME runner.holds_no_p6_instruction
    COMMAND sh -c "! objdump -d \"$1\" | grep -E '\\s(cmov|fcomi|fucomi|nopw|nopl|sysenter)|%xmm'"
        -- $<TARGET_FILE:qelhost_runner>)
