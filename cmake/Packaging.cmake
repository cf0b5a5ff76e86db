# The Debian package (scripts/package): `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr packs what `cmake --install` installs into
# rolvet_<version>_amd64.deb. Its dependencies come from the shared libraries the program
# links (dpkg-shlibdeps); Qt's X11 platform plugin comes with libqt6gui6.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rolvet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "closed road track editor with 3D road model export")
set(CPACK_PACKAGE_DESCRIPTION
    "Welmo Rolvet lays out closed road tracks: click the control points of a loop into a\n"
    "top-down plan, set the division count and the road width, and export the road as a\n"
    "textured 3D ribbon: a Metasequoia model (.mqo), a glTF binary (.glb) or a Wavefront\n"
    "OBJ. Tracks are saved in .rolvet files. The interface is Japanese, or English with\n"
    "--lang en.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(ROLVET_PACKAGE_MAINTAINER "Rolvet maintainers <maintainers@rolvet.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${ROLVET_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ROLVET_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A font with Japanese glyphs for the default interface, and Qt's own Japanese button texts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
