# Run by CPack on the files staged for a package: Debian keeps the commands of
# games in /usr/games, so the Debian package has the `squirrel` command there.
# It finds the program and its data from there as well, since bin and games
# sit side by side.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(usr ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
  file(MAKE_DIRECTORY ${usr}/games)
  file(RENAME ${usr}/bin/squirrel ${usr}/games/squirrel)
  file(REMOVE_RECURSE ${usr}/bin)
endif()
