# One Debian package, tessellon, with everything `cmake --install` puts in place: the
# library, its headers and CMake and pkg-config files, the checkers demo and its data, and
# the draughts game.
#   cpack --config build/CPackConfig.cmake -B build    gives build/tessellon_<version>_<arch>.deb
# The libraries the programs load come from dpkg-shlibdeps; the development packages are
# those the installed headers and package files name (GL, GLU, png.h, jpeglib.h).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessellon)
set(CPACK_PACKAGE_VENDOR "The Tessellon developers")
set(CPACK_PACKAGE_CONTACT "The Tessellon developers <tessellon@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "A shared library that draws a board of squares and pieces with OpenGL, moves the camera
with keyboard and mouse and tells the game which square the player chose; with its
headers, CMake and pkg-config files, the checkers demo and the draughts game against
the computer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl-dev, libglu1-mesa-dev, libpng-dev, libjpeg-dev")
include(CPack)
