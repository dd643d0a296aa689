# Fails when a file under src/core includes a widget, painting, printing,
# chart or dialog header: the core must build and run without a window system.
file(GLOB_RECURSE files ${CORE_DIR}/*.h ${CORE_DIR}/*.cpp)
set(bad "")
foreach(f ${files})
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${lines})
        if(line MATCHES "Qt(Widgets|Gui|PrintSupport|Charts|OpenGL|Svg)/"
           OR line MATCHES "<Q(Widget|Dialog|MessageBox|FileDialog|Painter|Pixmap|Image|Application|MainWindow|Printer|Color|Font|Cursor|Chart[A-Za-z]*|Abstract[A-Za-z]*View|TableView|Gui[A-Za-z]*)>")
            list(APPEND bad "${f}: ${line}")
        endif()
    endforeach()
endforeach()
if(bad)
    list(JOIN bad "\n" text)
    message(FATAL_ERROR "Forbidden includes in the core:\n${text}")
endif()
