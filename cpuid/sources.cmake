set(KZ_CPUID_SOURCES
    ${CMAKE_SOURCE_DIR}/cpuid/vendor_state.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/identify.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/refresh_vendor_state.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/processor_type.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/signature.cpp
    ${CMAKE_SOURCE_DIR}/cpuid/identification_functions.cpp)
