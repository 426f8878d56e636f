# Makes the browser build's site folder SITE: copies the FILES (a list) into
# it (emptied first), then writes SITE/sw.js from web/sw.js.in with the name of
# this build (a hash of every file in the folder) and each file's SHA-256,
# which the service worker checks as it caches them. Without FILES it only
# writes sw.js for what SITE holds (a folder changed by hand, e.g. a new icon).
#   cmake -DSITE=DIR [-DFILES=FILE;FILE...] -P web/site.cmake
cmake_minimum_required(VERSION 3.16)
if(NOT SITE)
  message(FATAL_ERROR "usage: cmake -DSITE=DIR [-DFILES=FILE;FILE...] -P web/site.cmake")
endif()

if(FILES)
  file(REMOVE_RECURSE "${SITE}")
  file(MAKE_DIRECTORY "${SITE}")
  file(COPY ${FILES} DESTINATION "${SITE}")
endif()

file(GLOB names RELATIVE "${SITE}" "${SITE}/*")
list(REMOVE_ITEM names sw.js)
list(SORT names)
set(entries "")
set(sums "")
foreach(name IN LISTS names)
  file(SHA256 "${SITE}/${name}" sum)
  list(APPEND entries "  '${name}': '${sum}'")
  string(APPEND sums "${name} ${sum}\n")
endforeach()
string(SHA256 BUILD "${sums}")
string(SUBSTRING "${BUILD}" 0 16 BUILD)
string(JOIN ",\n" ENTRIES ${entries})
configure_file("${CMAKE_CURRENT_LIST_DIR}/sw.js.in" "${SITE}/sw.js" @ONLY)
message(STATUS "Site folder ${SITE}: build ${BUILD}")
