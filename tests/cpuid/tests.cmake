# Processor identification beyond the unit tests: the load-time vendor state in a fresh
# process, the real processor operations on this machine and on qemu's models, and the
# real DLL driven through its export.

# The vendor state as loaded, before any identification: its own process.
add_executable(cpuid_load_values ${CMAKE_CURRENT_LIST_DIR}/load_values_test.cpp)
target_link_libraries(cpuid_load_values PRIVATE kz_library_over_fakes GTest::gtest_main)
add_test(NAME cpuid.load_values COMMAND cpuid_load_values)

# The identification logic over the real inline assembly, not the fakes.
add_executable(cpuid_real_probes
    ${CMAKE_CURRENT_LIST_DIR}/real_probes_test.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/vendor_state.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/identify.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/refresh_vendor_state.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/processor_type.cpp
    ${CMAKE_SOURCE_DIR}/platform/real/processor.cpp)
target_include_directories(cpuid_real_probes PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(cpuid_real_probes PRIVATE -O2)
target_link_libraries(cpuid_real_probes PRIVATE GTest::gtest_main pthread)
add_test(NAME cpuid.real_probes.here COMMAND cpuid_real_probes)

# qemu's processor models, several vendors and families (platform notes, "qemu-i386
# processor models"). Under qemu DIV leaves the zero flag as it was.
set(KZ_CPUID_QEMU_MODELS
    pentium3 athlon kvm32 Opteron_G1 Dhyana n270
    "qemu32,vendor=CyrixInstead,family=5"
    "qemu32,vendor=AuthenticAMD,level=0")
foreach(model IN LISTS KZ_CPUID_QEMU_MODELS)
    add_test(NAME cpuid.real_probes@${model}
        COMMAND ${QEMU_I386} -cpu ${model} -L / $<TARGET_FILE:cpuid_real_probes>)
    set_tests_properties(cpuid.real_probes@${model} PROPERTIES
        ENVIRONMENT "KZ_DIVISION_KEEPS_ZERO_FLAG=1")
endforeach()

# The real DLL through its dispatch export: on this machine's processor, and under each
# qemu model with the model's name handed to the test for its fixed expectations. Realistic
# processors without CMOV (Cyrix, the 486 and Pentium classes, ...) run in tests/runner.
set(KZ_CPUID_DLL_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dll_identification_test.cpp ${CMAKE_SOURCE_DIR}/tests/host/shared_dll.cpp)
qel_add_dll_test(NAME cpuid_dll_here SOURCES ${KZ_CPUID_DLL_SOURCES})
set(KZ_CPUID_DLL_MODELS
    pentium2 pentium3 qemu32 n270 kvm32 athlon Opteron_G1 Dhyana
    "qemu32,family=20"
    "qemu32,vendor=GenuineIotel"
    "qemu32,vendor=AuthenticAMD,level=0"
    "qemu32,vendor=CyrixInstead,level=0"
    "qemu32,vendor=HygonGenuine,level=0")
qel_add_dll_test(NAME cpuid_dll SOURCES ${KZ_CPUID_DLL_SOURCES} CPU ${KZ_CPUID_DLL_MODELS})
foreach(model IN LISTS KZ_CPUID_DLL_MODELS)
    set_tests_properties(cpuid_dll@${model} PROPERTIES ENVIRONMENT "KZ_QEMU_CPU=${model}")
endforeach()
