# What `cmake --install` puts under the prefix, and the packages CPack makes
# of it: a .tar.gz and a .deb on Linux, a .zip on Windows.
include(GNUInstallDirs)

install(TARGETS tarvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Who answers for the packages; Debian's tools want a name and an address.
set(TARVO_MAINTAINER "tarvo developers <tarvo@example.org>"
    CACHE STRING "The maintainer of the packages, as \"name <address>\"")

# Compresses a file as gzip -9n would, for the places Debian wants it so.
function(tarvo_gzip source destination)
  file(ARCHIVE_CREATE OUTPUT ${destination} PATHS ${source} FORMAT raw COMPRESSION GZip
       COMPRESSION_LEVEL 9)
endfunction()

if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/tarvo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # What a Windows user opens first, at the top of the zip, with the line ends
  # that Notepad wants.
  configure_file(${PROJECT_SOURCE_DIR}/cmake/README-windows.txt.in ${PROJECT_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
  # The man page as text, rendered at build time by groff (groff-base, which
  # .ci/windows.sh installs); a build without groff leaves it out.
  find_program(TARVO_GROFF groff)
  if(TARVO_GROFF)
    add_custom_command(
      OUTPUT ${PROJECT_BINARY_DIR}/tarvo.txt
      COMMAND ${CMAKE_COMMAND} -DGROFF=${TARVO_GROFF} -DINPUT=${PROJECT_SOURCE_DIR}/docs/tarvo.1
              -DOUTPUT=${PROJECT_BINARY_DIR}/tarvo.txt -P ${PROJECT_SOURCE_DIR}/cmake/ManPageText.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/tarvo.1 ${PROJECT_SOURCE_DIR}/cmake/ManPageText.cmake
      COMMENT "Rendering the man page as tarvo.txt")
    add_custom_target(tarvo_manual_text ALL DEPENDS ${PROJECT_BINARY_DIR}/tarvo.txt)
    install(FILES ${PROJECT_BINARY_DIR}/tarvo.txt DESTINATION .)
  else()
    message(STATUS "groff not found: the package goes without tarvo.txt")
  endif()
else()
  # man reads compressed pages, and Debian's policy asks for them.
  tarvo_gzip(${PROJECT_SOURCE_DIR}/docs/tarvo.1 ${PROJECT_BINARY_DIR}/tarvo.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/tarvo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # A native package carries its changelog in Debian's form.
  string(TIMESTAMP TARVO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE ${PROJECT_BINARY_DIR}/changelog
       "tarvo (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
       "  * tarvo ${PROJECT_VERSION}.\n\n"
       " -- ${TARVO_MAINTAINER}  ${TARVO_CHANGELOG_DATE}\n")
  tarvo_gzip(${PROJECT_BINARY_DIR}/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # tarvo is linked statically on purpose: one file that runs anywhere.
  if(TARVO_STATIC AND NOT TARVO_SANITIZE AND NOT TARVO_FUZZ)
    file(WRITE ${PROJECT_BINARY_DIR}/lintian-overrides
         "# Linked statically on purpose: one file that runs on any Linux.\n"
         "tarvo: statically-linked-binary [usr/bin/tarvo]\n")
    install(FILES ${PROJECT_BINARY_DIR}/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tarvo)
  endif()
endif()
# The documents keep their places relative to each other, so that the links
# between them still lead somewhere.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README shows the graph of examples/hello, so the picture goes along.
file(GLOB TARVO_DOCUMENTS ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.svg)
install(FILES ${TARVO_DOCUMENTS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
# Where Debian's tools look for the terms of a package; the tarball carries
# the licence itself beside it.
install(FILES ${PROJECT_SOURCE_DIR}/cmake/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME tarvo)
set(CPACK_PACKAGE_VENDOR "tarvo developers")
set(CPACK_PACKAGE_CONTACT "${TARVO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make tool that reads one makefile and runs what is out of date")
set(CPACK_PACKAGE_DESCRIPTION
    "tarvo reads a makefile, brings the requested targets up to date by comparing file\n"
    "modification times, and runs the commands of every rule whose target is out of date.\n"
    "It is one executable with no configuration besides the makefile, the command line\n"
    "and the environment.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  set(CPACK_GENERATOR "TGZ;DEB")
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A static tarvo needs no shared library; any other build asks dpkg-shlibdeps.
if(NOT TARVO_STATIC OR TARVO_SANITIZE OR TARVO_FUZZ)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
