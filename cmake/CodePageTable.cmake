# The table of code page 932 kept in text/CodePage932Table.txt, read by
# text/CodePage932Lookup.cpp: the library fenwa_code_page_table, which the
# converter library links with FENWA_CODE_PAGE_TABLE and the tests always. The
# table's bytes reach the compiler as a C++ initializer,
# generated/text/CodePage932Table.inc in the build folder, made again (and only
# rewritten when it changes) whenever CMake runs, and CMake runs again whenever
# the table changes.
set(FENWA_CODE_PAGE_TABLE_FILE ${PROJECT_SOURCE_DIR}/text/CodePage932Table.txt)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${FENWA_CODE_PAGE_TABLE_FILE})
file(READ ${FENWA_CODE_PAGE_TABLE_FILE} table_hex HEX)
# 32 bytes to a line, each byte as "0x..,".
string(REGEX REPLACE "(................................................................)" "\\1\n" table_hex
                     "${table_hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," table_initializer "${table_hex}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/text/CodePage932Table.inc CONTENT "${table_initializer}\n" @ONLY)

add_library(fenwa_code_page_table STATIC EXCLUDE_FROM_ALL text/CodePage932Lookup.cpp)
target_include_directories(fenwa_code_page_table PUBLIC ${PROJECT_SOURCE_DIR}
                           PRIVATE ${CMAKE_BINARY_DIR}/generated)
