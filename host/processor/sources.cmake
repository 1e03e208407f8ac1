# Processor material: the catalogue of emulated processors and the process's own CPUID.
# Header-only C++ only: the runner builds it too.
set(QEL_HOST_PROCESSOR_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/processor_catalogue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/process_cpuid.cpp)
