# How every target of the project is compiled, the same on a developer's machine and in CI:
# C++20, warnings as errors, Qt's strictness switches, optimisation of the hot paths only in
# optimised builds, sanitizers on request, and what keeps a fresh build short (unity builds of
# the libraries, one precompiled header for the tests).

option(SAYVANE_WERROR "Treat compiler warnings as errors" ON)
# The tests and benchmarks are built where their frameworks are installed (make check and make
# test install them and turn the tests on); make run needs neither.
find_package(GTest QUIET)
option(SAYVANE_BUILD_TESTS "Build the tests" ${GTest_FOUND})
find_package(benchmark QUIET)
option(SAYVANE_BUILD_BENCHMARKS "Build the benchmarks" ${benchmark_FOUND})
option(SAYVANE_FUZZ "Build the quotes-file fuzzer (with clang; see scripts/fuzz.sh)" OFF)
option(SAYVANE_UNITY "Compile each library as a few large files (a fresh build in about half the time)"
    ON)
set(SAYVANE_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined")

set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()
if(SAYVANE_UNITY)
    set(CMAKE_UNITY_BUILD ON)
    set(CMAKE_UNITY_BUILD_BATCH_SIZE 8)
endif()

# Standard, warnings and Qt's strictness switches for every target of the project.
add_library(sayvane_config INTERFACE)
target_compile_features(sayvane_config INTERFACE cxx_std_20)
target_compile_options(sayvane_config INTERFACE -Wall -Wextra -Wpedantic
    $<$<BOOL:${SAYVANE_WERROR}>:-Werror>)
target_compile_definitions(sayvane_config INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS
    QT_USE_QSTRINGBUILDER
    QT_STRICT_ITERATORS)
if(SAYVANE_SANITIZE)
    add_compile_options(-fsanitize=${SAYVANE_SANITIZE} -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${SAYVANE_SANITIZE})
endif()

# Extra optimisation for a source file on the per-frame path: in optimised builds, and in
# sanitizer builds, whose point there is to check the vectorised loops; never in a plain
# Debug build, which stays easy to step through.
function(sayvane_optimise_hot_path)
    if(SAYVANE_SANITIZE)
        set(optimised 1)
    else()
        set(optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
    endif()
    set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS $<${optimised}:-O3>)
endfunction()
