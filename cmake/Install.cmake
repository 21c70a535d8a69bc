# What `cmake --install` puts under the prefix on Linux: the brevanto command
# and its man page, libbrevanto.so with its soname links, the C header, a
# pkg-config file and a CMake package (find_package(Brevanto) gives
# Brevanto::brevanto), the example drawings with CNC.ini, and the licence.
# The Windows DLLs are shipped as a zip instead (scripts/windows-release.sh).
if(WIN32 OR NOT TARGET brevanto)
  return()
endif()
# Sanitizer and fuzzing builds are for testing, never installed.
if(BREVANTO_SANITIZE OR BREVANTO_FUZZ)
  return()
endif()

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(brevanto_datadir ${CMAKE_INSTALL_DATADIR}/brevanto)
set(brevanto_cmakedir ${CMAKE_INSTALL_LIBDIR}/cmake/Brevanto)
set(brevanto_pkgconfigdir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The library. Only brevanto.h is public; everything else under include/ is
# for the in-tree command.
target_include_directories(brevanto INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS brevanto EXPORT BrevantoTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/brevanto/brevanto.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brevanto)

# CMake package: the imported target and a version file that accepts any
# request of the same major version (the soname's).
install(EXPORT BrevantoTargets NAMESPACE Brevanto:: DESTINATION ${brevanto_cmakedir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/BrevantoConfig.cmake.in
  ${PROJECT_BINARY_DIR}/BrevantoConfig.cmake INSTALL_DESTINATION ${brevanto_cmakedir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/BrevantoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/BrevantoConfig.cmake
              ${PROJECT_BINARY_DIR}/BrevantoConfigVersion.cmake
  DESTINATION ${brevanto_cmakedir})

# pkg-config: the prefix is found from the .pc file's own place, so the
# installed tree works wherever it is unpacked (a package, DESTDIR, a copy).
file(RELATIVE_PATH brevanto_pc_to_prefix
  ${CMAKE_INSTALL_PREFIX}/${brevanto_pkgconfigdir} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" brevanto_pc_to_prefix "${brevanto_pc_to_prefix}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/brevanto.pc.in ${PROJECT_BINARY_DIR}/brevanto.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/brevanto.pc DESTINATION ${brevanto_pkgconfigdir})

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

if(NOT TARGET brevanto_cli)
  return()
endif()

install(TARGETS brevanto_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
file(GLOB brevanto_examples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.svg)
install(FILES ${brevanto_examples} ${PROJECT_SOURCE_DIR}/examples/CNC.ini
  DESTINATION ${brevanto_datadir}/examples)

# The man page is the command's own --help, so it cannot drift from it. The
# help names the default settings file under $HOME: run with HOME=~ so the page
# shows ~/.config/... rather than the home folder of whoever built it.
find_program(HELP2MAN help2man)
if(NOT HELP2MAN)
  message(WARNING "help2man not found: the brevanto man page is not built "
                  "(scripts/install-deps.sh installs it)")
  return()
endif()
set(brevanto_man ${PROJECT_BINARY_DIR}/man/brevanto.1)
add_custom_command(OUTPUT ${brevanto_man}.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
  COMMAND ${CMAKE_COMMAND} -E env --unset=BREVANTO_SETTINGS --unset=XDG_CONFIG_HOME HOME=~
          ${HELP2MAN} --no-info --no-discard-stderr
          --name "turn the outlines of an SVG drawing into a G-code milling program"
          --include ${CMAKE_CURRENT_LIST_DIR}/brevanto.h2m
          --output ${brevanto_man} $<TARGET_FILE:brevanto_cli>
  COMMAND gzip -9nf ${brevanto_man}
  DEPENDS brevanto_cli ${CMAKE_CURRENT_LIST_DIR}/brevanto.h2m
  COMMENT "Man page brevanto.1 from brevanto --help"
  VERBATIM)
add_custom_target(brevanto_man ALL DEPENDS ${brevanto_man}.gz)
install(FILES ${brevanto_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
