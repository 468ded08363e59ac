# Installs a build into PREFIX afresh and checks the portable folder it makes.
# Arguments: BUILD_DIR, PREFIX, ASSETS_DIR, comma-separated PROGRAMS and DATA (paths below
# PREFIX that must be there too), RUN_PROGRAMS (whether this machine can run them) and
# WINDOWS (the installation is for Windows).

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${out}${err}")
endif()

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

function(expect_file path)
  if(NOT EXISTS "${PREFIX}/${path}" OR IS_DIRECTORY "${PREFIX}/${path}")
    set(failures "${failures}  missing file ${path}\n" PARENT_SCOPE)
  endif()
endfunction()

# The default pictures, as committed.
foreach(picture icon border preview)
  set(installed "${PREFIX}/gfx/${picture}.bmp")
  if(NOT EXISTS "${installed}")
    fail("missing file gfx/${picture}.bmp")
  else()
    file(SHA256 "${installed}" got)
    file(SHA256 "${ASSETS_DIR}/gfx/${picture}.bmp" want)
    if(NOT got STREQUAL want)
      fail("gfx/${picture}.bmp differs from assets/gfx/${picture}.bmp")
    endif()
  endif()
endforeach()

# The staging folder exists and is empty: whatever it holds goes into every package.
if(NOT IS_DIRECTORY "${PREFIX}/bin/data")
  fail("missing folder bin/data")
else()
  file(GLOB staged "${PREFIX}/bin/data/*")
  if(staged)
    fail("bin/data is not empty: ${staged}")
  endif()
endif()

# gzip is a working program of its own, not a link into the build machine.
if(IS_SYMLINK "${PREFIX}/bin/gzip")
  fail("bin/gzip is a symbolic link")
endif()
if(RUN_PROGRAMS)
  execute_process(COMMAND "${PREFIX}/bin/gzip" --version RESULT_VARIABLE gz OUTPUT_QUIET
                  ERROR_QUIET)
  if(NOT gz EQUAL 0)
    fail("bin/gzip does not run (${gz})")
  endif()
endif()

# The read-me is plain text in the platform's line endings, and names the stand-ins to
# replace as the platform writes paths.
if(EXISTS "${PREFIX}/README.txt")
  file(READ "${PREFIX}/README.txt" readme)
  file(READ "${PREFIX}/README.txt" readmeHex HEX)
  string(REGEX MATCHALL "0a" lineEnds "${readmeHex}")
  string(REGEX MATCHALL "0d0a" crlfEnds "${readmeHex}")
  list(LENGTH lineEnds lines)
  list(LENGTH crlfEnds crlfLines)
  if(WINDOWS)
    set(stand_ins "bin\\7.bin and bin\\9.bin")
    if(NOT crlfLines EQUAL lines)
      fail("README.txt has line ends other than CR LF")
    endif()
  else()
    set(stand_ins "bin/7.bin and bin/9.bin")
    if(NOT crlfLines EQUAL 0)
      fail("README.txt has CR LF line ends")
    endif()
  endif()
  string(FIND "${readme}" "${stand_ins}" at)
  if(at LESS 0)
    fail("README.txt does not name ${stand_ins}")
  endif()
endif()

string(REPLACE "," ";" PROGRAMS "${PROGRAMS}")
string(REPLACE "," ";" DATA "${DATA}")
foreach(path ${PROGRAMS} ${DATA})
  expect_file("${path}")
endforeach()

if(failures)
  message(FATAL_ERROR "The installed folder ${PREFIX} is not as expected:\n${failures}")
endif()
message(STATUS "Installed folder ${PREFIX} is complete")
