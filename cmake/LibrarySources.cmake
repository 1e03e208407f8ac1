# Each folder lists its own sources; the lists are combined here.
set(KZ_LIBRARY_SOURCES)
include(${CMAKE_SOURCE_DIR}/extender/sources.cmake)
include(${CMAKE_SOURCE_DIR}/cpuid/sources.cmake)
include(${CMAKE_SOURCE_DIR}/speed/sources.cmake)
include(${CMAKE_SOURCE_DIR}/platform/sources.cmake)
