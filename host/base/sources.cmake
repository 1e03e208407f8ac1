# What every layer of the host shares: bounded text, the byte reader, little-endian words,
# fault catching.
set(QEL_HOST_BASE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/byte_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fault_catching.cpp)
