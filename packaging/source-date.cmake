# Read by CPack before it makes a package: the time every file in it, and the
# package itself, is dated. As the reproducible-builds convention has it, that
# is SOURCE_DATE_EPOCH when it is set; otherwise this sets it to the time of
# the last commit, or, with no git history, to that of the changelog's latest
# entry, so that the same sources give the same package byte for byte.
if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  set(FENWA_SOURCE_DATE ${CPACK_FENWA_RELEASE_EPOCH})
  find_program(FENWA_GIT git)
  if(FENWA_GIT)
    execute_process(COMMAND ${FENWA_GIT} log -1 --format=%ct WORKING_DIRECTORY ${CPACK_FENWA_SOURCE_DIR}
                    OUTPUT_VARIABLE FENWA_COMMIT_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(FENWA_COMMIT_DATE MATCHES "^[0-9]+$")
      set(FENWA_SOURCE_DATE ${FENWA_COMMIT_DATE})
    endif()
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${FENWA_SOURCE_DATE})
endif()
