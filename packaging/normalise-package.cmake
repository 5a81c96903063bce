# Run by CPack after it made a package, before it copies it out: writes it
# again with packaging/normalise-package.py, so that nothing in it depends on
# the umask, the file system or the user (SOURCE_DATE_EPOCH is set by
# packaging/source-date.cmake).
find_program(FENWA_PYTHON python3 REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${FENWA_PYTHON} ${CPACK_FENWA_SOURCE_DIR}/packaging/normalise-package.py ${package}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
