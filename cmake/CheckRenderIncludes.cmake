# Fails when a file under src/render includes a widget or dialog header: the
# painting runs in zurm-calc without widgets.
file(GLOB_RECURSE files ${RENDER_DIR}/*.h ${RENDER_DIR}/*.cpp)
set(bad "")
foreach(f ${files})
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${lines})
        if(line MATCHES "QtWidgets/"
           OR line MATCHES "<Q(Widget|Dialog|MessageBox|FileDialog|Application|MainWindow|Label|ScrollArea|ComboBox|LineEdit|Menu|MenuBar|Abstract[A-Za-z]*View|TableView)>")
            list(APPEND bad "${f}: ${line}")
        endif()
    endforeach()
endforeach()
if(bad)
    list(JOIN bad "\n" text)
    message(FATAL_ERROR "Forbidden includes in the render library:\n${text}")
endif()
