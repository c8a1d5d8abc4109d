# Run by CPack between its staging install and the package: compresses the manual page as
# Debian's policy wants it, reproducibly (no name or time in the gzip header).
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.1")
list(FILTER pages INCLUDE REGEX "/share/man/man1/[^/]+\\.1$")
if(NOT pages)
    message(FATAL_ERROR "no manual page in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(page IN LISTS pages)
    execute_process(COMMAND gzip -9 -n -f "${page}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "cannot compress ${page}")
    endif()
endforeach()
