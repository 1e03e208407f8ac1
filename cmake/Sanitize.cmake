# KZ_SANITIZE: the host (its layers, qel_base to qel_linux, and qelhost), the unit tests, the
# host's end-to-end tests and the fuzz targets built with AddressSanitizer and UBSan, in a
# build of their own (scripts/test uses build-sanitize/). Configure it with clang-16, which
# also brings libFuzzer.
option(KZ_SANITIZE "Build the host, the unit tests and the fuzz targets with ASan and UBSan" OFF)
# A DLL built elsewhere (e.g. build/windows/KZPROBEX.dll) spares the sanitizer build a second
# cross build of it.
set(KZ_PREBUILT_DLL "" CACHE FILEPATH "Use this KZPROBEX.dll instead of building one")

set(KZ_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

# kz_sanitize(<target>...): the targets are built with ASan and UBSan when KZ_SANITIZE is on.
function(kz_sanitize)
    if(NOT KZ_SANITIZE)
        return()
    endif()
    foreach(target IN LISTS ARGN)
        target_compile_options(${target} PRIVATE ${KZ_SANITIZER_FLAGS})
        target_link_options(${target} PRIVATE ${KZ_SANITIZER_FLAGS})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            target_sources(${target} PRIVATE ${KZ_SANITIZER_DEFAULTS})
        endif()
    endforeach()
endfunction()

# kz_add_skipped_test(<name>): where ASan cannot run, a test that says why and counts as
# skipped, in place of the tests of one sanitized program.
function(kz_add_skipped_test name)
    add_test(NAME ${name} COMMAND sh -c "echo '${KZ_ASAN_SKIP_REASON}'; exit 77")
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# kz_discover_sanitized_tests(<target> <prefix> [SHARDS <n>]): the target's gtest cases as
# tests (kz_add_gtest_cases); where ASan cannot run, the one skipped test <prefix>sanitized
# instead.
function(kz_discover_sanitized_tests target prefix)
    if(KZ_ASAN_SKIP_REASON)
        kz_add_skipped_test(${prefix}sanitized)
    else()
        kz_add_gtest_cases(${target} ${prefix} ${ARGN})
    endif()
endfunction()

# Whether ASan runs where the tests run. Under qemu-i386 it does, but LeakSanitizer's
# end-of-run check stops every thread through ptrace and never returns there: leak checks go
# off. Where even that fails, the sanitizer tests skip with the reason.
# The loader maps images of up to 64 MB; with ASan's default quarantine of freed blocks the
# 32-bit address space ran out after some 18000 loads (seen under qemu-i386).
set(KZ_ASAN_OPTIONS quarantine_size_mb=16)
set(KZ_ASAN_SKIP_REASON "")
if(KZ_SANITIZE)
    set(probe ${CMAKE_BINARY_DIR}/probe_asan)
    try_compile(asan_compiled SOURCES ${CMAKE_SOURCE_DIR}/cmake/probe_asan.c
        COMPILE_DEFINITIONS -fsanitize=address LINK_OPTIONS -fsanitize=address
        COPY_FILE ${probe} OUTPUT_VARIABLE asan_compile_output)
    if(NOT asan_compiled)
        message(FATAL_ERROR "cannot build a 32-bit ASan program (lib32asan8 or clang-16 missing?)\n${asan_compile_output}")
    endif()
    if(NOT KZ_RUNS_NATIVE_32)
        string(APPEND KZ_ASAN_OPTIONS :detect_leaks=0)
        # qemu-i386 calls itself an i686, so ASan lays out its shadow for a 3 GB user space
        # and cannot see above 0xc0000000; but qemu gives out addresses up to 4 GB (an image
        # asking for a base there got one, and ASan reported the loader's copy into it). A
        # 3 GB guest, as under a 32-bit kernel, keeps every mapping where ASan looks.
        list(APPEND CMAKE_CROSSCOMPILING_EMULATOR -R 0xc0000000)
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=${KZ_ASAN_OPTIONS}
            ${CMAKE_CROSSCOMPILING_EMULATOR} ${probe}
        TIMEOUT 60 RESULT_VARIABLE clean_run OUTPUT_QUIET ERROR_QUIET)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=${KZ_ASAN_OPTIONS}
            ${CMAKE_CROSSCOMPILING_EMULATOR} ${probe} overflow
        TIMEOUT 60 OUTPUT_QUIET ERROR_VARIABLE overflow_report)
    if(NOT clean_run EQUAL 42 OR NOT overflow_report MATCHES "heap-buffer-overflow")
        set(KZ_ASAN_SKIP_REASON "AddressSanitizer does not run here (${CMAKE_CROSSCOMPILING_EMULATOR}): sanitizer tests skipped")
        message(STATUS "${KZ_ASAN_SKIP_REASON}")
    elseif(NOT KZ_RUNS_NATIVE_32)
        message(STATUS "ASan runs under qemu-i386, without leak checks")
    endif()
endif()

# The runtime options go into every sanitized program, so each run of it (test discovery
# included) has them: reports with a stack, and no leak check where it would hang.
set(KZ_SANITIZER_DEFAULTS ${CMAKE_BINARY_DIR}/sanitizer_defaults.cpp)
if(KZ_SANITIZE)
    file(WRITE ${KZ_SANITIZER_DEFAULTS}
"extern \"C\" const char* __asan_default_options() { return \"${KZ_ASAN_OPTIONS}\"; }
extern \"C\" const char* __ubsan_default_options() { return \"print_stacktrace=1\"; }
")
endif()
