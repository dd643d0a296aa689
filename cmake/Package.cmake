# The Debian package, made by CPack from this very build tree: it holds exactly
# the binaries the test suite ran, and it is put together in seconds. A
# debhelper build would compile the whole project a second time with other
# flags, which neither the package test nor CI can afford on two cores.
#
# Layout: the program folder in /usr/lib/zurm (read-only once installed, so the
# program works with per-user copies of its files), the two programs linked into
# /usr/bin, examples, manual pages and the desktop files where Debian expects them.
set(ZURM_PACKAGE_SOURCE_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(ZURM_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)

# ---------------------------------------------------------------- build date
# "О программе" names the date of the release: the date of the package's
# changelog entry, so that every build of one source shows the same date and
# the binary the tests ran is the one packaged. SOURCE_DATE_EPOCH, when set,
# wins (string(TIMESTAMP) honours it); the configure date is the last resort.
set(ZURM_BUILD_DATE "")
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    file(STRINGS ${ZURM_PACKAGE_SOURCE_DIR}/changelog ZURM_CHANGELOG_TRAILER REGEX "^ -- " LIMIT_COUNT 1)
    if(ZURM_CHANGELOG_TRAILER MATCHES ", ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
        set(day ${CMAKE_MATCH_1})
        set(year ${CMAKE_MATCH_3})
        list(FIND "Jan;Feb;Mar;Apr;May;Jun;Jul;Aug;Sep;Oct;Nov;Dec" ${CMAKE_MATCH_2} month)
        if(month GREATER_EQUAL 0)
            math(EXPR month "${month} + 1")
            string(LENGTH "${day}" length)
            if(length EQUAL 1)
                set(day "0${day}")
            endif()
            if(month LESS 10)
                set(month "0${month}")
            endif()
            set(ZURM_BUILD_DATE "${day}.${month}.${year}")
        endif()
    endif()
endif()
if(ZURM_BUILD_DATE STREQUAL "")
    string(TIMESTAMP ZURM_BUILD_DATE "%d.%m.%Y" UTC)
endif()
# Only the files that show it are compiled again when the date changes.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/gui/entry/MainWindow.cpp ${CMAKE_SOURCE_DIR}/src/app/main.cpp
    PROPERTIES COMPILE_DEFINITIONS "ZURM_BUILD_DATE=\"${ZURM_BUILD_DATE}\"")

# ---------------------------------------------------------------- generated files
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(ZURM_PACKAGE_FILES)
# Compressed without a name or a time stamp, so that the package is reproducible.
foreach(pair "zurm.1;zurm.1.gz" "zurm-calc.1;zurm-calc.1.gz" "changelog;changelog.Debian.gz")
    list(GET pair 0 source)
    list(GET pair 1 packed)
    add_custom_command(
        OUTPUT ${ZURM_PACKAGE_DIR}/${packed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${ZURM_PACKAGE_DIR}
        COMMAND ${GZIP_EXECUTABLE} -9nc ${ZURM_PACKAGE_SOURCE_DIR}/${source} > ${ZURM_PACKAGE_DIR}/${packed}
        DEPENDS ${ZURM_PACKAGE_SOURCE_DIR}/${source}
        COMMENT "Compressing ${packed}"
        VERBATIM)
    list(APPEND ZURM_PACKAGE_FILES ${ZURM_PACKAGE_DIR}/${packed})
endforeach()
add_custom_target(package_files ALL DEPENDS ${ZURM_PACKAGE_FILES})
# Relative links, so that the package can be unpacked anywhere and still run.
foreach(program zurm zurm-calc)
    file(MAKE_DIRECTORY ${ZURM_PACKAGE_DIR}/bin)
    file(CREATE_LINK ../lib/zurm/${program} ${ZURM_PACKAGE_DIR}/bin/${program} SYMBOLIC)
endforeach()

# ---------------------------------------------------------------- install rules
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(ZURM_DATA_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(ZURM_PROGRAM_FOLDER lib/zurm)

install(TARGETS zurm zurm-calc RUNTIME DESTINATION ${ZURM_PROGRAM_FOLDER})
set(ZURM_PROGRAM_FOLDER_FILES)
foreach(name GidrRas.mdb Spr.mdb Nastr.mdb)
    list(APPEND ZURM_PROGRAM_FOLDER_FILES ${ZURM_BIN_DIR}/${name})
endforeach()
foreach(report ${ZURM_REPORTS})
    get_filename_component(name ${report} NAME)
    list(APPEND ZURM_PROGRAM_FOLDER_FILES ${ZURM_BIN_DIR}/${name})
endforeach()
install(FILES ${ZURM_PROGRAM_FOLDER_FILES} ${ZURM_PACKAGE_SOURCE_DIR}/installed
    DESTINATION ${ZURM_PROGRAM_FOLDER} PERMISSIONS ${ZURM_DATA_PERMISSIONS})
install(DIRECTORY ${ZURM_BIN_DIR}/help ${ZURM_BIN_DIR}/samples DESTINATION ${ZURM_PROGRAM_FOLDER}
    FILE_PERMISSIONS ${ZURM_DATA_PERMISSIONS}
    PATTERN "*.tmp" EXCLUDE)
install(FILES ${ZURM_PACKAGE_DIR}/bin/zurm ${ZURM_PACKAGE_DIR}/bin/zurm-calc DESTINATION bin)

install(FILES ${ZURM_EXAMPLE_FILES} ${ZURM_EXAMPLES_DIR}/district_map.jpg
    DESTINATION share/doc/zurm/examples PERMISSIONS ${ZURM_DATA_PERMISSIONS})
install(FILES ${ZURM_PACKAGE_SOURCE_DIR}/copyright ${ZURM_PACKAGE_DIR}/changelog.Debian.gz
    DESTINATION share/doc/zurm PERMISSIONS ${ZURM_DATA_PERMISSIONS})
install(FILES ${ZURM_PACKAGE_DIR}/zurm.1.gz ${ZURM_PACKAGE_DIR}/zurm-calc.1.gz
    DESTINATION share/man/man1 PERMISSIONS ${ZURM_DATA_PERMISSIONS})
install(FILES ${ZURM_PACKAGE_SOURCE_DIR}/zurm.desktop DESTINATION share/applications
    PERMISSIONS ${ZURM_DATA_PERMISSIONS})
install(FILES ${ZURM_PACKAGE_SOURCE_DIR}/zurm.svg DESTINATION share/icons/hicolor/scalable/apps
    PERMISSIONS ${ZURM_DATA_PERMISSIONS})
install(FILES ${ZURM_PACKAGE_SOURCE_DIR}/zurm.xml DESTINATION share/mime/packages
    PERMISSIONS ${ZURM_DATA_PERMISSIONS})

# ---------------------------------------------------------------- CPack
# Packaging never builds the whole project (tests, benchmarks): it takes the
# targets scripts/package.sh has built.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zurm)
set(CPACK_PACKAGE_VERSION 1.4)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZURM developers <dev@zurm.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "hydraulic calculation of district-heating water networks
ЗУРМ calculates one-pipe and two-pipe district-heating water networks
described as numbered nodes and segments from the source: head losses,
full and available heads at the nodes, water temperatures along the pipes
and, in design mode, the pipe diameters that meet the heads given at the
end nodes. The network is drawn over a map; results go to the calculation
text, graphs, Excel workbooks and printed reports.
.
The package holds the desktop program zurm and the batch front zurm-calc.
The user interface is Russian.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the dynamic linker does not see: the plugins Qt loads at run time (the
# SQLite driver, SVG for the icons), the Russian texts of Qt's own dialogs and
# a font for the schema, the graphs and the printed report. The window-system
# plugins (xcb, offscreen) come with libqt6gui6, which shlibdeps names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6svg6, qt6-translations-l10n, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

# The package as a user receives it: built from this tree, unpacked into a
# read-only program folder and run there (tests/package/debian_package.py).
find_program(DPKG_DEB_EXECUTABLE dpkg-deb)
find_program(DPKG_SHLIBDEPS_EXECUTABLE dpkg-shlibdeps)
find_program(GIO_EXECUTABLE gio)
find_program(UPDATE_MIME_DATABASE_EXECUTABLE update-mime-database)
find_program(DESKTOP_FILE_VALIDATE_EXECUTABLE desktop-file-validate)
if(DPKG_DEB_EXECUTABLE AND DPKG_SHLIBDEPS_EXECUTABLE AND GIO_EXECUTABLE AND UPDATE_MIME_DATABASE_EXECUTABLE
   AND DESKTOP_FILE_VALIDATE_EXECUTABLE)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_test(NAME debian_package
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/package/debian_package.py
                ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
    set_tests_properties(debian_package PROPERTIES TIMEOUT 300)
else()
    message(WARNING "dpkg-dev, libglib2.0-bin, shared-mime-info or desktop-file-utils missing: "
                    "the package test is not built (scripts/setup.sh installs them)")
endif()
