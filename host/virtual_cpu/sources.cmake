# The virtual processor's sources. The runner's share builds freestanding (musl, header-only
# C++, no exceptions): the decoder that finds the CPUID and RDTSC sites and the models that
# answer them. The dump reader and writer are qelhost's alone.
set(QEL_VIRTUAL_CPU_RUNNER_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/i386_decoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/code_sections.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cpuid_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cpuid_wire.cpp
    ${CMAKE_CURRENT_LIST_DIR}/leaf_survey.cpp
    ${CMAKE_CURRENT_LIST_DIR}/clock_rate.cpp)
set(QEL_VIRTUAL_CPU_SOURCES ${QEL_VIRTUAL_CPU_RUNNER_SOURCES}
    ${CMAKE_CURRENT_LIST_DIR}/cpuid_dump_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cpuid_dump_writer.cpp)
