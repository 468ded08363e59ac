# Installs the desktop component of a build into a scratch DESTDIR, with a prefix that
# needs quoting, and checks the menu entry and the icons.
# Arguments: BUILD_DIR, STAGE (the scratch DESTDIR), DESKTOP_PREFIX, ASSETS_DIR.

set(prefix "/opt/My \"Tools\"/pellix 100%")
file(REMOVE_RECURSE "${STAGE}")
set(ENV{DESTDIR} "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --component desktop
                        --prefix "${prefix}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install --component desktop failed (${status}):\n${out}${err}")
endif()

set(failures "")
set(share "${STAGE}${DESKTOP_PREFIX}/share")
foreach(size 16 32 48 64 128 256)
  set(icon "icons/hicolor/${size}x${size}/apps/pellix.png")
  if(NOT EXISTS "${share}/${icon}")
    string(APPEND failures "  missing ${icon}\n")
  else()
    file(SHA256 "${share}/${icon}" got)
    file(SHA256 "${ASSETS_DIR}/desktop/${icon}" want)
    if(NOT got STREQUAL want)
      string(APPEND failures "  ${icon} differs from the committed one\n")
    endif()
  endif()
endforeach()

set(entry "${share}/applications/pellix.desktop")
if(NOT EXISTS "${entry}")
  string(APPEND failures "  missing applications/pellix.desktop\n")
else()
  file(STRINGS "${entry}" lines)
  # The path quoted, its quotes escaped twice (string, then argument rules), % doubled.
  set(exec "Exec=\"/opt/My \\\\\"Tools\\\\\"/pellix 100%%/pellix\"")
  foreach(expected "[Desktop Entry]" "Type=Application" "Name=Pellix" "Icon=pellix" "${exec}")
    list(FIND lines "${expected}" at)
    if(at LESS 0)
      string(APPEND failures "  the entry lacks the line: ${expected}\n")
    endif()
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "desktop installation:\n${failures}")
endif()
