# The processor catalogue (host/processor/processor_catalogue.cpp) against qemu: every entry's -cpu
# string run under qemu-i386 with a CPUID probe, whose readings must be the entry's.

# The probe has no C library and is built for the i386, so that models without CMOV run it.
add_executable(zoo_cpuid_probe ${CMAKE_CURRENT_LIST_DIR}/cpuid_probe.c)
target_compile_options(zoo_cpuid_probe PRIVATE
    -march=i386 -ffreestanding -fno-pic -fno-stack-protector -fno-asynchronous-unwind-tables
    -fcf-protection=none)
target_link_options(zoo_cpuid_probe PRIVATE -static -nostdlib -no-pie)

add_executable(zoo_catalogue_test
    ${CMAKE_CURRENT_LIST_DIR}/catalogue_test.cpp
    ${CMAKE_SOURCE_DIR}/host/processor/processor_catalogue.cpp
    ${CMAKE_SOURCE_DIR}/host/virtual_cpu/cpuid_model.cpp)
target_include_directories(zoo_catalogue_test PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(zoo_catalogue_test PRIVATE
    ZOO_QEMU="${QEMU_I386}"
    ZOO_PROBE="$<TARGET_FILE:zoo_cpuid_probe>"
    ZOO_CATALOGUE_PAGE="${CMAKE_SOURCE_DIR}/docs/processor-catalogue.md")
target_link_libraries(zoo_catalogue_test PRIVATE GTest::gtest_main)
add_dependencies(zoo_catalogue_test zoo_cpuid_probe)
kz_add_gtest_cases(zoo_catalogue_test zoo. TIMEOUT 120)
