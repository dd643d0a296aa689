# Fails when zurm_render links widgets: it paints for zurm-calc too.
file(READ ${CACHE_FILE} links)
foreach(item ${links})
    if(item MATCHES "Widgets")
        message(FATAL_ERROR "zurm_render must not link ${item}")
    endif()
endforeach()
