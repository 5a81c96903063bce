# What `cmake --install` puts where, the manual pages, and the two packages
# CPack makes: a Debian package from a Linux build, a zip from the Windows one.
include(GNUInstallDirs)

set(FENWA_MAINTAINER "fenwaimg maintainers <maintainers@users.noreply.c-seed-eeb3d0fa.example>")

# The release is the changelog's latest entry: it must be for the project's
# version, and its date dates the manual pages (and the packages' files when
# the sources are not in git).
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog FENWA_CHANGELOG_HEAD LIMIT_COUNT 1)
if(NOT FENWA_CHANGELOG_HEAD MATCHES "^fenwaimg \\(([^)]+)\\)" OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog does not start with an entry for fenwaimg ${PROJECT_VERSION}; add one")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog FENWA_CHANGELOG_SIGNATURE REGEX "^ -- " LIMIT_COUNT 1)
set(FENWA_MONTHS Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(FENWA_RELEASE_MONTH -1)
if(FENWA_CHANGELOG_SIGNATURE MATCHES ", ([0-9]?[0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) \
([0-9][0-9]):([0-9][0-9]):([0-9][0-9]) ([+-])([0-9][0-9])([0-9][0-9])$")
  list(FIND FENWA_MONTHS ${CMAKE_MATCH_2} FENWA_RELEASE_MONTH)
endif()
if(FENWA_RELEASE_MONTH LESS 0)
  message(FATAL_ERROR "packaging/changelog: the latest entry's signature line has no date like "
                      "\"Tue, 08 Dec 2026 20:00:00 +0000\"")
endif()
# Numbers first ("08" is eight), two digits in the date.
math(EXPR FENWA_RELEASE_MONTH "${FENWA_RELEASE_MONTH} + 1")
math(EXPR FENWA_RELEASE_DAY "${CMAKE_MATCH_1}")
set(FENWA_RELEASE_YEAR ${CMAKE_MATCH_3})
# The same moment in seconds since 1970-01-01 UTC: the days counted in years
# that start on 1 March, so that a leap day is the last day of its year.
set(FENWA_MARCH_YEAR ${FENWA_RELEASE_YEAR})
if(FENWA_RELEASE_MONTH LESS_EQUAL 2)
  math(EXPR FENWA_MARCH_YEAR "${FENWA_MARCH_YEAR} - 1")
endif()
math(EXPR FENWA_RELEASE_DAYS "${FENWA_MARCH_YEAR} * 365 + ${FENWA_MARCH_YEAR} / 4 - ${FENWA_MARCH_YEAR} / 100 \
+ ${FENWA_MARCH_YEAR} / 400 + (153 * ((${FENWA_RELEASE_MONTH} + 9) % 12) + 2) / 5 + ${FENWA_RELEASE_DAY} - 1 - 719468")
math(EXPR FENWA_RELEASE_EPOCH "${FENWA_RELEASE_DAYS} * 86400 + ${CMAKE_MATCH_4} * 3600 + ${CMAKE_MATCH_5} * 60 \
+ ${CMAKE_MATCH_6} - ${CMAKE_MATCH_7}(${CMAKE_MATCH_8} * 3600 + ${CMAKE_MATCH_9} * 60)")
foreach(part MONTH DAY)
  if(FENWA_RELEASE_${part} LESS 10)
    set(FENWA_RELEASE_${part} 0${FENWA_RELEASE_${part}})
  endif()
endforeach()
set(FENWA_RELEASE_DATE ${FENWA_RELEASE_YEAR}-${FENWA_RELEASE_MONTH}-${FENWA_RELEASE_DAY})

set(FENWA_PROGRAMS fenwaimg)
set(FENWA_DOCUMENTS README.md examples/sample-network.json)
if(FENWA_TOOLS)
  list(APPEND FENWA_PROGRAMS fenwamake fenwadump)
  # The JSON the tools read and write, field by field.
  list(APPEND FENWA_DOCUMENTS tools/network.schema.json)
endif()

if(WIN32)
  # One flat folder: the programs, the README, the sample network and a short
  # text on the console, with the CR LF line ends Notepad expects.
  install(TARGETS ${FENWA_PROGRAMS} RUNTIME DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows-console.txt.in ${CMAKE_BINARY_DIR}/WINDOWS.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${FENWA_DOCUMENTS} ${CMAKE_BINARY_DIR}/WINDOWS.txt DESTINATION .)
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
  install(FILES ${FENWA_DOCUMENTS} packaging/copyright ${FENWA_MAN_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
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
# The same sources give the same package, byte for byte, whoever makes it
# and wherever: CPack dates every file SOURCE_DATE_EPOCH, which
# packaging/source-date.cmake sets when it is not set already, and orders the
# Debian package's files by name and gives them to root;
# packaging/normalise-package.py does the rest for both kinds of package.
set(CPACK_FENWA_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_FENWA_RELEASE_EPOCH ${FENWA_RELEASE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/source-date.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/normalise-package.cmake)
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
  # fenwadump's pictures are drawn by Graphviz, and their Japanese names need
  # a Japanese font: IPA Gothic, or any other gothic (sans-serif) one.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "graphviz, fonts-ipafont-gothic | fonts-japanese-gothic")
  set(CPACK_FENWA_STRIP ${CMAKE_STRIP})
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/strip-comments.cmake
                              ${PROJECT_SOURCE_DIR}/packaging/folder-modes.cmake)
endif()
include(CPack)
