list(APPEND KZ_LIBRARY_SOURCES
    ${CMAKE_SOURCE_DIR}/speed/rate_arithmetic.cpp
    ${CMAKE_SOURCE_DIR}/speed/norm_freq.cpp
    ${CMAKE_SOURCE_DIR}/speed/measure_speed.cpp
    ${CMAKE_SOURCE_DIR}/speed/time_stamp_method.cpp
    ${CMAKE_SOURCE_DIR}/speed/scan_loop_method.cpp
    ${CMAKE_SOURCE_DIR}/speed/one_second_route.cpp
    ${CMAKE_SOURCE_DIR}/speed/cpu_speed.cpp
    ${CMAKE_SOURCE_DIR}/speed/benchmark.cpp)
