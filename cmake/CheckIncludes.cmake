# Fails when a file under DIR includes a header matching FORBIDDEN (a regular
# expression over the include line); WHAT names the part of the program and
# why, for the message. Used for the core (no window system at all) and the
# render library (painting, but no widgets: it runs in zurm-calc).
file(GLOB_RECURSE files ${DIR}/*.h ${DIR}/*.cpp)
set(bad "")
foreach(f ${files})
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${lines})
        if(line MATCHES "${FORBIDDEN}")
            list(APPEND bad "${f}: ${line}")
        endif()
    endforeach()
endforeach()
if(bad)
    list(JOIN bad "\n" text)
    message(FATAL_ERROR "Forbidden includes in ${WHAT}:\n${text}")
endif()
