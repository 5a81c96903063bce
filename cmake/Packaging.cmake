# What `cmake --install` puts where, the manual pages, and the two packages
# CPack makes: a Debian package from a Linux build, a zip from the Windows one.
include(GNUInstallDirs)

set(FENWA_MAINTAINER "fenwaimg maintainers <maintainers@users.noreply.c-seed-eeb3d0fa.example>")

# The release is the changelog's latest entry: it must be for the project's
# version, and its date dates the manual pages.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog FENWA_CHANGELOG_HEAD LIMIT_COUNT 1)
if(NOT FENWA_CHANGELOG_HEAD MATCHES "^fenwaimg \\(([^)]+)\\)" OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog does not start with an entry for fenwaimg ${PROJECT_VERSION}; add one")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog FENWA_CHANGELOG_SIGNATURE REGEX "^ -- " LIMIT_COUNT 1)
if(NOT FENWA_CHANGELOG_SIGNATURE MATCHES ", ([0-9]?[0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/changelog: the latest entry's signature line has no date")
endif()
set(FENWA_RELEASE_DAY ${CMAKE_MATCH_1})
set(FENWA_RELEASE_YEAR ${CMAKE_MATCH_3})
set(FENWA_MONTHS Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND FENWA_MONTHS ${CMAKE_MATCH_2} FENWA_RELEASE_MONTH)
math(EXPR FENWA_RELEASE_MONTH "${FENWA_RELEASE_MONTH} + 1")
if(FENWA_RELEASE_MONTH LESS 10)
  set(FENWA_RELEASE_MONTH 0${FENWA_RELEASE_MONTH})
endif()
if(FENWA_RELEASE_DAY LESS 10)
  set(FENWA_RELEASE_DAY 0${FENWA_RELEASE_DAY})
endif()
set(FENWA_RELEASE_DATE ${FENWA_RELEASE_YEAR}-${FENWA_RELEASE_MONTH}-${FENWA_RELEASE_DAY})

set(FENWA_PROGRAMS fenwaimg)
if(FENWA_TOOLS)
  list(APPEND FENWA_PROGRAMS fenwamake fenwadump)
endif()

if(WIN32)
  # One flat folder: the programs, the README, the sample network and a short
  # text on the console, with the CR LF line ends Notepad expects.
  install(TARGETS ${FENWA_PROGRAMS} RUNTIME DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-console.txt.in ${CMAKE_BINARY_DIR}/WINDOWS.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES README.md examples/sample-network.json ${CMAKE_BINARY_DIR}/WINDOWS.txt DESTINATION .)
else()
  install(TARGETS ${FENWA_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Manual pages, made from man/*.1.in with the version and the date, and
  # compressed as Debian keeps them (gzip -9n: no name, no time stamp).
  find_program(FENWA_GZIP gzip REQUIRED)
  set(FENWA_MAN_DIR ${CMAKE_BINARY_DIR}/man)
  set(FENWA_COMPRESSED)
  foreach(program IN LISTS FENWA_PROGRAMS)
    configure_file(${PROJECT_SOURCE_DIR}/man/${program}.1.in ${FENWA_MAN_DIR}/${program}.1 @ONLY)
    list(APPEND FENWA_COMPRESSED ${FENWA_MAN_DIR}/${program}.1.gz)
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${FENWA_MAN_DIR}/changelog COPYONLY)
  foreach(page IN LISTS FENWA_COMPRESSED ITEMS ${FENWA_MAN_DIR}/changelog.gz)
    string(REGEX REPLACE "\\.gz$" "" source ${page})
    add_custom_command(OUTPUT ${page} COMMAND ${FENWA_GZIP} -9nkf ${source} DEPENDS ${source} VERBATIM)
  endforeach()
  add_custom_target(fenwa_manual_pages ALL DEPENDS ${FENWA_COMPRESSED} ${FENWA_MAN_DIR}/changelog.gz)
  install(FILES ${FENWA_COMPRESSED} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md examples/sample-network.json packaging/copyright ${FENWA_MAN_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME fenwaimg)
endif()

set(CPACK_PACKAGE_NAME fenwaimg)
set(CPACK_PACKAGE_VENDOR "fenwaimg maintainers")
set(CPACK_PACKAGE_CONTACT "${FENWA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "railway network converter for a Palm OS route finder")
set(CPACK_PACKAGE_DESCRIPTION
    "fenwaimg turns an intermediate data file describing a railway network\n"
    "(stations, routes with their stops and companies, a Shift_JIS string\n"
    "table and a route-finding graph) into fenwaimg.pdb, the database image\n"
    "that the route-finding application on the handheld loads.\n"
    "\n"
    "Two companion tools come with it: fenwamake writes intermediate data\n"
    "files from JSON descriptions, and fenwadump shows either file as JSON\n"
    "and checks it.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME fenwaimg-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FENWA_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The shared libraries the programs use, found by dpkg-shlibdeps (dpkg-dev).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_FENWA_STRIP ${CMAKE_STRIP})
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/strip-comments.cmake)
endif()
include(CPack)
