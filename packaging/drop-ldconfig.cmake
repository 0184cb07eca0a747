# Run by cpack after the .deb files are written (CPACK_POST_BUILD_SCRIPTS):
# removes the postinst and postrm scripts that CPack generates only to call
# ldconfig and rebuilds the package without them. Any other maintainer
# script stays, and so does every file of the package.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --raw-extract ${deb} failed")
  endif()
  set(changed FALSE)
  foreach(script postinst postrm)
    set(path "${tree}/DEBIAN/${script}")
    if(EXISTS "${path}")
      file(READ "${path}" text)
      # The generated script: a shebang, set -e and one if block with ldconfig.
      string(REGEX REPLACE "#!/bin/sh|set -e|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then|ldconfig|fi|[ \t\n]" ""
             rest "${text}")
      if(text MATCHES "ldconfig" AND rest STREQUAL "")
        file(REMOVE "${path}")
        set(changed TRUE)
      endif()
    endif()
  endforeach()
  if(changed)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build "${tree}" "${deb}"
                    OUTPUT_QUIET RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "dpkg-deb --build ${tree} failed")
    endif()
    message(STATUS "${deb}: without the ldconfig scripts")
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
