# Decides how 32-bit programs run here: natively where the kernel allows it, otherwise
# under qemu-i386 user-mode emulation. Every test and tool target inherits the choice.
try_run(native_run_result native_compile_result
    SOURCES ${CMAKE_SOURCE_DIR}/cmake/probe32.c
    COMPILE_OUTPUT_VARIABLE probe_compile_output)
if(NOT native_compile_result)
    message(FATAL_ERROR "cannot build a 32-bit program (is g++-multilib installed?)\n${probe_compile_output}")
endif()

# KZ_FORCE_QEMU tries, on a machine that runs 32-bit code, the path of one that cannot.
option(KZ_FORCE_QEMU "Run 32-bit programs under qemu-i386 even where they run natively" OFF)
# qemu-i386 runs 32-bit programs where the kernel refuses them, and the runner on emulated
# processors everywhere; the main job's set-up installs it only where the kernel needs it.
find_program(QEMU_I386 qemu-i386)
if(native_run_result EQUAL 42 AND NOT KZ_FORCE_QEMU)
    set(KZ_RUNS_NATIVE_32 ON)
    set(CMAKE_CROSSCOMPILING_EMULATOR "")
    message(STATUS "32-bit programs run natively")
else()
    if(NOT QEMU_I386)
        message(FATAL_ERROR "this kernel refuses 32-bit programs and qemu-i386 is missing: run scripts/bootstrap")
    endif()
    set(KZ_RUNS_NATIVE_32 OFF)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_I386};-L;/)
    message(STATUS "32-bit programs run under ${QEMU_I386}")
endif()
