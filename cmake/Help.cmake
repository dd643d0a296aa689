# The help pages: data/help/ lands in bin/help/ of the program folder, each page
# copied again whenever it changes. New pages are picked up at the next build
# (the glob is re-checked), so the help folder always matches the sources.
set(ZURM_HELP_SOURCE_DIR ${CMAKE_SOURCE_DIR}/data/help)
set(ZURM_HELP_DIR ${ZURM_BIN_DIR}/help)
file(GLOB_RECURSE ZURM_HELP_SOURCES CONFIGURE_DEPENDS ${ZURM_HELP_SOURCE_DIR}/*)
set(ZURM_HELP_FILES)
foreach(page ${ZURM_HELP_SOURCES})
    file(RELATIVE_PATH relative ${ZURM_HELP_SOURCE_DIR} ${page})
    get_filename_component(folder ${ZURM_HELP_DIR}/${relative} DIRECTORY)
    add_custom_command(
        OUTPUT ${ZURM_HELP_DIR}/${relative}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${page} ${ZURM_HELP_DIR}/${relative}
        DEPENDS ${page}
        COMMENT "Copying help page ${relative}"
        VERBATIM)
    list(APPEND ZURM_HELP_FILES ${ZURM_HELP_DIR}/${relative})
endforeach()
add_custom_target(help_files ALL DEPENDS ${ZURM_HELP_FILES})
add_dependencies(zurm help_files)
if(TARGET help_test)
    add_dependencies(help_test help_files)
endif()
