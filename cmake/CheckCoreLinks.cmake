# Fails when zurm_core links anything with a window system behind it.
file(READ ${CACHE_FILE} links)
foreach(item ${links})
    if(item MATCHES "Widgets|Gui|PrintSupport|Charts|OpenGL")
        message(FATAL_ERROR "zurm_core must not link ${item}")
    endif()
endforeach()
