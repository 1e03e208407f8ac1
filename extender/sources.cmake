set(KZ_EXTENDER_SOURCES
    ${CMAKE_SOURCE_DIR}/extender/dispatch.cpp
    ${CMAKE_SOURCE_DIR}/extender/function_table.cpp
    ${CMAKE_SOURCE_DIR}/extender/module.cpp
    ${CMAKE_SOURCE_DIR}/extender/numeric_text.cpp
    ${CMAKE_SOURCE_DIR}/extender/query.cpp
    ${CMAKE_SOURCE_DIR}/extender/report.cpp
    ${CMAKE_SOURCE_DIR}/extender/version_and_memory.cpp)
