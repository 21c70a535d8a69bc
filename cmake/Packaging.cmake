# `cpack -G DEB` in the release build: one Debian package with the command,
# the library and what a program needs to build against it (see Install.cmake).
if(WIN32 OR NOT TARGET brevanto_cli OR BREVANTO_SANITIZE OR BREVANTO_FUZZ)
  return()
endif()

set(BREVANTO_PACKAGE_MAINTAINER "The Brevanto developers <brevanto@example.org>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brevanto)
set(CPACK_PACKAGE_VENDOR "The Brevanto developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# dpkg shows the description as it stands: lines kept short.
set(CPACK_PACKAGE_DESCRIPTION "The brevanto command reads an SVG drawing and writes a G-code milling
program that follows its outlines: curves become circular arcs within a
chosen precision, neighbouring arcs and lines are joined, and the cut goes
down in passes to the set depth. The conversion is also a C library,
libbrevanto, with a single entry point (brevanto/brevanto.h, pkg-config
brevanto, CMake package Brevanto).")
set(CPACK_PACKAGE_CONTACT "${BREVANTO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies from the ELF files themselves (dpkg-shlibdeps), and a shlibs
# file so packages built against libbrevanto depend on this one.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Data the command reads when a drawing asks for it: the Hershey fonts of
# TextFont=hershey:NAME, and an outline font for text.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hershey-fonts-data, fonts-dejavu-core | fonts-liberation")

include(CPack)
