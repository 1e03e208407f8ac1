list(APPEND KZ_LIBRARY_SOURCES
    ${CMAKE_SOURCE_DIR}/speed/pending.cpp)
