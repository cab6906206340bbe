# Run by cpack after it has built the package (CPACK_POST_BUILD_SCRIPTS). CPack's Installed-Size
# counts the program twice, through the link in games, and every folder as 4 KiB. dpkg counts
# each file in KiB rounded up and 1 KiB for every folder and link; this rebuilds the package with
# that number, with dpkg-deb, under the same SOURCE_DATE_EPOCH (set by cpack-options.cmake).
find_program(VP_DPKG_DEB dpkg-deb REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND "${VP_DPKG_DEB}" --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)

  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${tree}" "${tree}/*")
  set(kib 0)
  foreach(entry IN LISTS entries)
    if(entry MATCHES "^DEBIAN(/|$)")
      continue()
    endif()
    if(IS_SYMLINK "${tree}/${entry}" OR IS_DIRECTORY "${tree}/${entry}")
      math(EXPR kib "${kib} + 1")
    else()
      file(SIZE "${tree}/${entry}" bytes)
      math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
    endif()
  endforeach()

  file(READ "${tree}/DEBIAN/control" control)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control "${control}")
  file(WRITE "${tree}/DEBIAN/control" "${control}")
  execute_process(
    COMMAND "${VP_DPKG_DEB}" --root-owner-group -Zxz --build "${tree}" "${deb}"
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
  message(STATUS "Installed-Size: ${kib} KiB")
endforeach()
