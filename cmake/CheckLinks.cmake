# Fails when the libraries TARGET links (read from CACHE_FILE) match FORBIDDEN.
file(READ ${CACHE_FILE} links)
foreach(item ${links})
    if(item MATCHES "${FORBIDDEN}")
        message(FATAL_ERROR "${TARGET} must not link ${item}")
    endif()
endforeach()
