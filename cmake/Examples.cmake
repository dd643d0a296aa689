# Example calculations: every data/examples/NAME.sql is applied on top of the
# template and lands in build/examples/NAME.mdb. They live beside the program
# folder, not in it, because calculations are never kept in the program folder;
# the golden protocol test copies them from there and runs zurm-calc on them.
set(ZURM_EXAMPLES_DIR ${CMAKE_BINARY_DIR}/examples)
file(GLOB ZURM_EXAMPLE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/examples/*.sql)
set(ZURM_EXAMPLE_FILES)
foreach(example ${ZURM_EXAMPLE_SOURCES})
    get_filename_component(name ${example} NAME_WE)
    add_custom_command(
        OUTPUT ${ZURM_EXAMPLES_DIR}/${name}.mdb
        COMMAND ${CMAKE_COMMAND} -E make_directory ${ZURM_EXAMPLES_DIR}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${ZURM_EXAMPLES_DIR}/${name}.mdb.tmp
        COMMAND ${SQLITE3_EXECUTABLE} -bail ${ZURM_EXAMPLES_DIR}/${name}.mdb.tmp < ${CMAKE_SOURCE_DIR}/data/gidrras.sql
        COMMAND ${SQLITE3_EXECUTABLE} -bail ${ZURM_EXAMPLES_DIR}/${name}.mdb.tmp < ${example}
        COMMAND ${CMAKE_COMMAND} -E rename ${ZURM_EXAMPLES_DIR}/${name}.mdb.tmp ${ZURM_EXAMPLES_DIR}/${name}.mdb
        DEPENDS ${CMAKE_SOURCE_DIR}/data/gidrras.sql ${example}
        COMMENT "Generating example ${name}.mdb"
        VERBATIM)
    list(APPEND ZURM_EXAMPLE_FILES ${ZURM_EXAMPLES_DIR}/${name}.mdb)
endforeach()
add_custom_target(examples ALL DEPENDS ${ZURM_EXAMPLE_FILES})
# The golden protocol test reads the built examples.
if(TARGET zurm_core_tests)
    add_dependencies(zurm_core_tests examples)
endif()

# The map of the district example: a fictional quarter drawn by a small tool at
# build time (data/tools/district_map.cpp), delivered beside the examples.
add_executable(zurm-district-map ${CMAKE_SOURCE_DIR}/data/tools/district_map.cpp)
target_link_libraries(zurm-district-map PRIVATE Qt6::Gui)
target_compile_options(zurm-district-map PRIVATE ${ZURM_WARNINGS})
add_custom_command(
    OUTPUT ${ZURM_EXAMPLES_DIR}/district_map.jpg
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ZURM_EXAMPLES_DIR}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:zurm-district-map>
            ${ZURM_EXAMPLES_DIR}/district_map.jpg
    DEPENDS zurm-district-map
    COMMENT "Drawing the district map"
    VERBATIM)
add_custom_target(district_map ALL DEPENDS ${ZURM_EXAMPLES_DIR}/district_map.jpg)
add_dependencies(examples district_map)
