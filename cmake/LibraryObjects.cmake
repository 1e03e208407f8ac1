# The library's subsystems as OBJECT libraries. Each folder's sources.cmake lists its own
# files in KZ_<SUBSYSTEM>_SOURCES; every build of the library (the DLL and its P6 variant,
# the unit tests over the fake platform, the probe tests, the fuzz targets) compiles them
# with options of its own through kz_add_library_objects.
include(${CMAKE_SOURCE_DIR}/extender/sources.cmake)
include(${CMAKE_SOURCE_DIR}/cpuid/sources.cmake)
include(${CMAKE_SOURCE_DIR}/speed/sources.cmake)
include(${CMAKE_SOURCE_DIR}/platform/sources.cmake)

# The subsystems every build has; each build adds the platform it runs over.
set(KZ_LIBRARY_SUBSYSTEMS extender cpuid speed)

# kz_add_library_objects(<prefix> SUBSYSTEMS <subsystem>... [OPTIONS <compile options>...])
#
# Makes the OBJECT library <prefix>_<subsystem> of KZ_<SUBSYSTEM>_SOURCES for each subsystem
# named (extender, cpuid, speed, platform_real, platform_real_processor, platform_fake),
# compiled with OPTIONS; sets <prefix>_TARGETS in the caller to those libraries and
# <prefix>_OBJECTS to their objects, in the order named (the DLL links them in that order).
function(kz_add_library_objects prefix)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SUBSYSTEMS;OPTIONS")
    set(targets)
    set(objects)
    foreach(subsystem IN LISTS arg_SUBSYSTEMS)
        string(TOUPPER ${subsystem} upper)
        if(NOT KZ_${upper}_SOURCES)
            message(FATAL_ERROR "kz_add_library_objects: no sources listed for ${subsystem}")
        endif()
        set(target ${prefix}_${subsystem})
        add_library(${target} OBJECT ${KZ_${upper}_SOURCES})
        target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
        target_compile_options(${target} PRIVATE ${arg_OPTIONS})
        list(APPEND targets ${target})
        list(APPEND objects $<TARGET_OBJECTS:${target}>)
    endforeach()
    set(${prefix}_TARGETS ${targets} PARENT_SCOPE)
    set(${prefix}_OBJECTS ${objects} PARENT_SCOPE)
endfunction()
