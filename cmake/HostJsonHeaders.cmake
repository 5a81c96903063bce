# nlohmann-json for a cross build (the MinGW-w64 one): the library is headers
# only, so the build host's copy serves. Its folder, /usr/include, must not
# reach the cross compiler, whose own C headers it would shadow; the headers
# are copied into a folder of the build that holds nothing but nlohmann/.
find_path(FENWA_HOST_JSON_INCLUDE nlohmann/json.hpp
  PATHS /usr/include /usr/local/include
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT FENWA_HOST_JSON_INCLUDE)
  message(FATAL_ERROR "nlohmann/json.hpp not found on the build host; install nlohmann-json3-dev (make deps)")
endif()
set(FENWA_JSON_INCLUDE ${CMAKE_BINARY_DIR}/host-json-include)
file(REMOVE_RECURSE ${FENWA_JSON_INCLUDE})
file(COPY ${FENWA_HOST_JSON_INCLUDE}/nlohmann DESTINATION ${FENWA_JSON_INCLUDE})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${FENWA_JSON_INCLUDE})
