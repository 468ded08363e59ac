# The Debian package: cmake --build BUILD --target package makes pellix_<version>_<arch>.deb.
# It holds the portable folder as /usr/lib/pellix and, around it, what a Debian system
# expects (deb_extras.cmake.in): pellix and pellix-cli in /usr/bin, the menu entry, the
# icons, the AppStream metainfo, a manual page for each program, the copyright file and
# the changelog. Its dependencies are read from the programs by dpkg-shlibdeps.
set(PELLIX_DEB_DIR ${CMAKE_CURRENT_LIST_DIR})
set(PELLIX_DEB_BUILD ${PROJECT_BINARY_DIR}/packaging/debian)
set(PELLIX_VERSION ${PROJECT_VERSION})

# The changelog's newest entry is the version being packed.
file(STRINGS ${PELLIX_DEB_DIR}/changelog PELLIX_DEB_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT PELLIX_DEB_CHANGELOG_TOP MATCHES "^pellix \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog does not begin with version "
                      "${PROJECT_VERSION}: add an entry for it")
endif()

# The menu entry starts the program by its name on the PATH.
set(PELLIX_DESKTOP_EXEC pellix)
configure_file(${PROJECT_SOURCE_DIR}/assets/desktop/pellix.desktop.in
               ${PELLIX_DEB_BUILD}/pellix.desktop @ONLY)
configure_file(${PELLIX_DEB_DIR}/pellix.metainfo.xml.in
               ${PELLIX_DEB_BUILD}/org.pellix.pellix.metainfo.xml @ONLY)
foreach(page pellix pellix-cli)
  configure_file(${PELLIX_DEB_DIR}/${page}.1.in ${PELLIX_DEB_BUILD}/${page}.1 @ONLY)
endforeach()
set(PELLIX_DEB_ICONS ${PROJECT_SOURCE_DIR}/assets/desktop/icons/hicolor)
configure_file(${PELLIX_DEB_DIR}/deb_extras.cmake.in ${PELLIX_DEB_BUILD}/deb_extras.cmake @ONLY)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellix)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr/lib/pellix)
set(CPACK_PACKAGE_CONTACT "Pellix developers <maintainers@pellix.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Game Boy Advance ROM to Nintendo DS program packer")
# The summary is the first line; these lines follow it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Pellix turns a Game Boy Advance ROM into a Nintendo DS program file (.nds) for
Quillmere, the DS program that runs it: the ROM, optionally packed with gzip, a
menu icon, up to three title lines and a border picture. It has a window with a
preview of the DS menu entry, and pellix-cli builds many ROMs at once.
.
Each user keeps Quillmere's own DS images in ~/.local/share/pellix; the
package ships stand-ins that do nothing on a DS.")
set(CPACK_PRE_BUILD_SCRIPTS ${PELLIX_DEB_BUILD}/deb_extras.cmake)
