set(KZ_CPUID_SOURCES
    ${CMAKE_SOURCE_DIR}/cpuid/identify.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/processor_type.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/identification_functions.cpp)
