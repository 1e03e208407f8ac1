# The Extender interface and what the Linux and Windows ExtenderDll share: the calls
# through the two exports.
set(QEL_HOST_EXTENDER_SOURCES ${CMAKE_CURRENT_LIST_DIR}/extender_calls.cpp)
