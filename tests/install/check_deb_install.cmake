# Installs the Debian package as root would (dpkg -i), builds a package as a normal user
# with DS images and a data file from that user's own folder, starts the window, then
# removes the package and checks that none of its files is left. Skipped unless run as
# root, and when a pellix package is installed already (it is not a test's to remove).
# Arguments: DEB (the package), WORK (a scratch folder below the system's temporary one).

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT uid STREQUAL "0")
  message("SKIPPED: installing a package needs root")
  return()
endif()
# One such test at a time on a machine, whichever build folder it runs from.
file(LOCK "/tmp/pellix-deb-install-test.lock" GUARD PROCESS TIMEOUT 900)
execute_process(COMMAND dpkg-query -W -f=\${Status} pellix OUTPUT_VARIABLE status ERROR_QUIET)
if(status MATCHES "installed")
  message("SKIPPED: a pellix package is installed already")
  return()
endif()

macro(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
endmacro()
# dpkg waits for no one: another package install holding its lock is waited out here.
function(dpkg)
  foreach(attempt RANGE 60)
    run(dpkg ${ARGN})
    if(status EQUAL 0 OR NOT err MATCHES "lock")
      break()
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E sleep 2)
  endforeach()
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg ${ARGN} (${status}):\n${out}${err}")
  endif()
endfunction()

dpkg(-i "${DEB}")
run(dpkg-query -L pellix)
string(REPLACE "\n" ";" installed "${out}")

set(failures "")
set(home "${WORK}")
set(own "${home}/.local/share/pellix")
file(REMOVE_RECURSE "${home}")
file(MAKE_DIRECTORY "${own}/data" "${home}/out" "${home}/tmp")
# Quillmere's images as far as Pellix can tell: the stand-ins without their marker.
foreach(image 7.bin 9.bin)
  execute_process(COMMAND sed "s/PELLIX STAND-IN /QUILLMERE IMAGE /g"
                  INPUT_FILE "/usr/lib/pellix/bin/${image}" OUTPUT_FILE "${own}/${image}")
endforeach()
file(WRITE "${own}/data/mine.txt" "the user's own")
file(WRITE "${home}/game.gba" "A GAME BOY ADVANCE ROM")
run(chown -R 65534:65534 "${home}")
set(as_user setpriv --reuid=65534 --regid=65534 --clear-groups
            env -u XDG_DATA_HOME "HOME=${home}" "TMPDIR=${home}/tmp")

run(${as_user} /usr/bin/pellix-cli -o "${home}/out" "${home}/game.gba")
if(NOT status EQUAL 0 OR NOT err STREQUAL ""
   OR NOT out MATCHES "DS images: ${own}/7.bin and ${own}/9.bin")
  string(APPEND failures "  pellix-cli as a user (${status}):\n${out}${err}\n")
endif()
run(/usr/lib/pellix/bin/ndstool -l "${home}/out/game.nds")
if(NOT out MATCHES "/mine.txt")
  string(APPEND failures "  the package lacks the user's data file:\n${out}${err}\n")
endif()
file(GLOB left "${home}/tmp/*")
if(left)
  string(APPEND failures "  the build left ${left}\n")
endif()
# The window starts and stays up until it is stopped.
run(${as_user} QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/pellix)
if(NOT status EQUAL 124)
  string(APPEND failures "  the window did not stay up (${status}):\n${out}${err}\n")
endif()

dpkg(--purge pellix)
foreach(path IN LISTS installed)
  if(path AND (EXISTS "${path}" OR IS_SYMLINK "${path}") AND NOT IS_DIRECTORY "${path}")
    string(APPEND failures "  left after removal: ${path}\n")
  endif()
endforeach()
if(EXISTS /usr/lib/pellix)
  string(APPEND failures "  left after removal: /usr/lib/pellix\n")
endif()
file(REMOVE_RECURSE "${home}")
if(failures)
  message(FATAL_ERROR "the installed package:\n${failures}")
endif()
