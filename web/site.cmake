# Makes the browser build's site folder SITE: copies the given files into it
# (emptied first), then writes SITE/sw.js from web/sw.js.in with the name of this
# build (a hash of every file in the folder) and each file's SHA-256, which the
# service worker checks as it caches them. Without files it only writes sw.js
# for what SITE holds (a folder changed by hand, e.g. a new icon).
#   cmake -DSITE=DIR -P web/site.cmake [FILE...]
cmake_minimum_required(VERSION 3.16)
if(NOT SITE)
  message(FATAL_ERROR "usage: cmake -DSITE=DIR -P web/site.cmake [FILE...]")
endif()

# The files are the arguments after "-P SCRIPT".
set(files "")
set(after "")
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 1 ${last})
  if(after STREQUAL "script")
    list(APPEND files "${CMAKE_ARGV${i}}")
  elseif(after STREQUAL "-P")
    set(after "script")
  elseif(CMAKE_ARGV${i} STREQUAL "-P")
    set(after "-P")
  endif()
endforeach()
if(files)
  file(REMOVE_RECURSE "${SITE}")
  file(MAKE_DIRECTORY "${SITE}")
  file(COPY ${files} DESTINATION "${SITE}")
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
string(JOIN ",\n" FILES ${entries})
configure_file("${CMAKE_CURRENT_LIST_DIR}/sw.js.in" "${SITE}/sw.js" @ONLY)
message(STATUS "Site folder ${SITE}: build ${BUILD}")
