# Makes the build's package twice, into two folders a few seconds apart, and checks that
# the two are the same bytes; a Debian package must also satisfy lintian (no error, no
# warning), desktop-file-validate and appstreamcli.
# Arguments: CPACK (the cpack program), BUILD_DIR, WORK (a scratch folder), PACKAGE (the
# package's file name), DEB (whether it is a Debian package).

file(REMOVE_RECURSE "${WORK}")
foreach(run one two)
  execute_process(COMMAND "${CPACK}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK}/${run}"
                  WORKING_DIRECTORY "${BUILD_DIR}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT EXISTS "${WORK}/${run}/${PACKAGE}")
    message(FATAL_ERROR "cpack did not make ${PACKAGE} (${status}):\n${out}${err}")
  endif()
  if(run STREQUAL "one")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E sleep 1.1)
  endif()
endforeach()
file(SHA256 "${WORK}/one/${PACKAGE}" first)
file(SHA256 "${WORK}/two/${PACKAGE}" second)
if(NOT first STREQUAL second)
  message(FATAL_ERROR "${PACKAGE} made twice from one build differs")
endif()
if(NOT DEB)
  return()
endif()

set(deb "${WORK}/one/${PACKAGE}")
execute_process(COMMAND lintian --fail-on error,warning --tag-display-limit 0 "${deb}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lintian (${status}):\n${out}${err}")
endif()
set(tree "${WORK}/tree")
execute_process(COMMAND dpkg-deb -x "${deb}" "${tree}" RESULT_VARIABLE status)
file(GLOB metainfo "${tree}/usr/share/metainfo/*.xml")
foreach(check "desktop-file-validate;${tree}/usr/share/applications/pellix.desktop"
              "appstreamcli;validate;--no-net;${metainfo}")
  execute_process(COMMAND ${check} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR out MATCHES "error|warning" OR err MATCHES "error|warning")
    message(FATAL_ERROR "${check} (${status}):\n${out}${err}")
  endif()
endforeach()
# The programs on the PATH lead into the program folder, and each has a manual page.
foreach(program pellix pellix-cli)
  if(NOT EXISTS "${tree}/usr/bin/${program}" OR NOT IS_SYMLINK "${tree}/usr/bin/${program}"
     OR NOT EXISTS "${tree}/usr/share/man/man1/${program}.1.gz")
    message(FATAL_ERROR "${program}: no link in /usr/bin into /usr/lib/pellix, or no manual page")
  endif()
endforeach()
