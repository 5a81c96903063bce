# Run by CPack in its staging folder before it builds the Debian package, after
# the programs were stripped: removes the compiler's .comment and .note
# sections too, as Debian's own packaging does (dh_strip).
file(GLOB FENWA_STAGED_PROGRAMS "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
if(NOT FENWA_STAGED_PROGRAMS)
  message(FATAL_ERROR "no programs in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
execute_process(COMMAND ${CPACK_FENWA_STRIP} --remove-section=.comment --remove-section=.note ${FENWA_STAGED_PROGRAMS}
                COMMAND_ERROR_IS_FATAL ANY)
