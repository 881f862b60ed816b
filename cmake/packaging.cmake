# What is installed, and the packages made of it: a .deb from a native build,
# a tarball from a static build, a .zip from the Windows build.

# The page, installed beside the README: the one this build makes, or one
# made by another build (the Windows and static builds take it from the
# Linux one).
if(QUORVEL_WEB)
  set(QUORVEL_PAGE ${PROJECT_BINARY_DIR}/quorvel.html)
else()
  set(QUORVEL_PAGE "" CACHE FILEPATH "A built quorvel.html to install beside the README")
endif()

include(GNUInstallDirs)
# Installed folders are 0755 whatever the builder's umask, so packages match.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(example_files FILES_MATCHING PATTERN "*.bmp" PATTERN "*.asm" PATTERN "*.toml" PATTERN "Makefile")
# The .zip and the static programs' tarballs hold one flat folder.
if(WIN32 OR QUORVEL_STATIC)
  install(TARGETS quorvel quorvel-check quorvel-sheet RUNTIME DESTINATION .)
  install(FILES README.md CHANGELOG.md LICENSE quorvel.1 quorvel-check.1 quorvel-sheet.1
                ${QUORVEL_PAGE} DESTINATION .)
  # Beside the README, so that its picture links work where it is installed.
  install(DIRECTORY docs/ DESTINATION docs FILES_MATCHING PATTERN "*.png" PATTERN "*.md")
  install(DIRECTORY examples/ DESTINATION examples ${example_files})
elseif(NOT EMSCRIPTEN)
  # Debian's layout: compressed manual page and changelogs, reproducibly (gzip -n).
  set(packaged ${PROJECT_BINARY_DIR}/packaged)
  set(compressed quorvel.1 quorvel-check.1 quorvel-sheet.1 CHANGELOG.md packaging/debian/changelog)
  set(compressed_names quorvel.1.gz quorvel-check.1.gz quorvel-sheet.1.gz changelog.gz
      changelog.Debian.gz)
  foreach(source name IN ZIP_LISTS compressed compressed_names)
    add_custom_command(OUTPUT ${packaged}/${name}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${packaged}
      COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/${source} > ${packaged}/${name}
      DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
    list(APPEND packaged_files ${packaged}/${name})
  endforeach()
  add_custom_target(packaged_documents ALL DEPENDS ${packaged_files})
  install(TARGETS quorvel quorvel-check quorvel-sheet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${packaged}/quorvel.1.gz ${packaged}/quorvel-check.1.gz
                ${packaged}/quorvel-sheet.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md LICENSE ${QUORVEL_PAGE} ${packaged}/changelog.gz ${packaged}/changelog.Debian.gz
                packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples ${example_files})
  install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.png" PATTERN "*.md")
  install(FILES packaging/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME quorvel)
endif()

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Convert small indexed BMP files into Commodore 64 sprite bytes")
set(CPACK_PACKAGE_DESCRIPTION "Quorvel reads one uncompressed BMP file holding a 24 by 21 pixel picture
(1-bit, 4-bit or 8-bit indexed) and writes the bytes of a Commodore 64
sprite: hires from a 1-bit picture, multicolour from a 4-bit or 8-bit one
through a four-entry colour map given on the command line. An optional
two-byte load address makes a .prg file, and an optional zero byte pads a
sprite to 64 bytes for packing several into one file. It is made for build
scripts and Makefiles: its output bytes, console lines and exit statuses are
exact and documented. Its companion quorvel-check, run with the same
arguments first, finds every way the sprite would not be the picture (a
palette in the wrong order, a wrong size, one-pixel detail, C64 colour
numbers typed as arguments) and says what to do. Its companion quorvel-sheet
makes many sprites of one picture (a BMP or PNG sheet), by C64 colour or by
palette index, through the same sprite code, with the sprite pointers and
colours as labels for the assembler.")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <dev@quorvel.invalid>")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Unstripped, so that addr2line resolves the offsets of an error report.
set(CPACK_STRIP_FILES OFF)
# The time the packages carry: SOURCE_DATE_EPOCH, or else the last commit's,
# read when packaging (not when configuring, which may be commits ago).
set(CPACK_QUORVEL_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_time.cmake)
# Archives are named by the release's major and minor version: quorvel-1.6-win64.
set(archive_name quorvel-${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
if(WIN32)
  # One folder, quorvel-1.6-win64, as Windows users expect of a .zip.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${archive_name}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
elseif(QUORVEL_STATIC)
  # quorvel-1.6-linux-x86_64.tar.gz and so on, one folder of the same name.
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME ${archive_name}-linux-${this_name})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # The C library version the program really needs (the static C++ runtime
  # asks for 2.36), as dpkg-shlibdeps (dpkg-dev) reads it off the program.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_member_modes.cmake)
endif()
include(CPack)
