# Fuzz targets. Include from the top-level CMakeLists.txt after enable_testing()
# and the zurm_core target: include(cmake/Fuzz.cmake)
#
# evaluator_fuzz_replay: the evaluator fuzz target built with the project
# compiler and a small main that replays the checked-in corpus; an ordinary test.
#
# With -DZURM_FUZZ=ON, evaluator_fuzz_build also builds the libFuzzer target
# with clang (address and undefined-behaviour sanitizers) into
# <build>/fuzz/evaluator_fuzz. Run it, for example, as
#   <build>/fuzz/evaluator_fuzz -max_total_time=600 <scratch-corpus> tests/fuzz/corpus/evaluator
# and merge new findings back with -merge=1 into tests/fuzz/corpus/evaluator.

add_executable(evaluator_fuzz_replay
    ${CMAKE_SOURCE_DIR}/tests/fuzz/evaluator_fuzz.cpp
    ${CMAKE_SOURCE_DIR}/tests/fuzz/FuzzReplayMain.cpp)
target_link_libraries(evaluator_fuzz_replay PRIVATE zurm_core)
target_compile_options(evaluator_fuzz_replay PRIVATE ${ZURM_WARNINGS})
set_target_properties(evaluator_fuzz_replay PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_test(NAME evaluator_fuzz_replay
    COMMAND evaluator_fuzz_replay ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/evaluator)

# The workbook readers' targets, replayed the same way: xlsx_fuzz_replay and
# xls_fuzz_replay over tests/fuzz/corpus/xlsx and tests/fuzz/corpus/xls. With
# ZURM_FUZZ=ON, <build>/fuzz/xlsx_fuzz and <build>/fuzz/xls_fuzz are the
# libFuzzer builds.
foreach(format xlsx xls)
    add_executable(${format}_fuzz_replay
        ${CMAKE_SOURCE_DIR}/tests/fuzz/workbook_fuzz.cpp
        ${CMAKE_SOURCE_DIR}/tests/fuzz/FuzzReplayMain.cpp)
    target_link_libraries(${format}_fuzz_replay PRIVATE zurm_core PkgConfig::MINIZIP)
    target_compile_options(${format}_fuzz_replay PRIVATE ${ZURM_WARNINGS})
    set_target_properties(${format}_fuzz_replay PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${format}_fuzz_replay
        COMMAND ${format}_fuzz_replay ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${format})
endforeach()
target_compile_definitions(xlsx_fuzz_replay PRIVATE ZURM_FUZZ_XLSX_PARTS)

# The Jet adapter: jet_fuzz_replay over tests/fuzz/corpus/jet; with ZURM_FUZZ=ON,
# <build>/fuzz/jet_fuzz is the libFuzzer build.
add_executable(jet_fuzz_replay
    ${CMAKE_SOURCE_DIR}/tests/fuzz/jet_fuzz.cpp
    ${CMAKE_SOURCE_DIR}/tests/fuzz/FuzzReplayMain.cpp)
target_link_libraries(jet_fuzz_replay PRIVATE zurm_core)
target_compile_options(jet_fuzz_replay PRIVATE ${ZURM_WARNINGS})
set_target_properties(jet_fuzz_replay PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_test(NAME jet_fuzz_replay COMMAND jet_fuzz_replay ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/jet)

option(ZURM_FUZZ "Build the libFuzzer targets with clang" OFF)
if(ZURM_FUZZ)
    find_program(ZURM_CLANGXX NAMES clang++ clang++-14 REQUIRED)
    include(ExternalProject)
    ExternalProject_Add(evaluator_fuzz_build
        SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz
        BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz
        CMAKE_ARGS
            -DCMAKE_CXX_COMPILER=${ZURM_CLANGXX}
            -DCMAKE_BUILD_TYPE=RelWithDebInfo
            -DZURM_SOURCE_DIR=${CMAKE_SOURCE_DIR}
        CMAKE_CACHE_ARGS
            -DCMAKE_PREFIX_PATH:STRING=${CMAKE_PREFIX_PATH}
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON)
endif()
