# The processor operations are plain inline assembly that also builds for 32-bit Linux, where
# tests/cpuid runs them; the rest of the real platform is Win32.
set(KZ_PLATFORM_REAL_PROCESSOR_SOURCES
    ${CMAKE_SOURCE_DIR}/platform/real/processor.cpp)
set(KZ_PLATFORM_REAL_SOURCES
    ${CMAKE_SOURCE_DIR}/platform/real/win32_services.cpp
    ${KZ_PLATFORM_REAL_PROCESSOR_SOURCES}
    ${CMAKE_SOURCE_DIR}/platform/real/trace.cpp
    ${CMAKE_SOURCE_DIR}/platform/real/loops.cpp
    ${CMAKE_SOURCE_DIR}/platform/real/freestanding.cpp)
set(KZ_PLATFORM_FAKE_SOURCES
    ${CMAKE_SOURCE_DIR}/platform/fake/win32_services.cpp
    ${CMAKE_SOURCE_DIR}/platform/fake/processor.cpp
    ${CMAKE_SOURCE_DIR}/platform/fake/state.cpp
    ${CMAKE_SOURCE_DIR}/platform/fake/loops.cpp)
