# What `cmake --install` puts under the prefix, and the packages CPack makes
# of it: a .tar.gz and a .deb on Linux, a .zip on Windows.
include(GNUInstallDirs)

install(TARGETS tarvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/tarvo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The documents keep their places relative to each other, so that the links
# between them still lead somewhere.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README shows the graph of examples/hello, so the picture goes along.
file(GLOB TARVO_DOCUMENTS ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.svg)
install(FILES ${TARVO_DOCUMENTS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
# Where Debian's tools look for the terms of a package.
install(FILES ${PROJECT_SOURCE_DIR}/cmake/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME tarvo)
set(CPACK_PACKAGE_VENDOR "tarvo developers")
set(CPACK_PACKAGE_CONTACT "tarvo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make tool that reads one makefile and runs what is out of date")
set(CPACK_PACKAGE_DESCRIPTION
    "tarvo reads a makefile, brings the requested targets up to date by comparing file\n"
    "modification times, and runs the commands of every rule whose target is out of date.\n"
    "It is one executable with no configuration besides the makefile, the command line\n"
    "and the environment.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  set(CPACK_GENERATOR "TGZ;DEB")
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "tarvo developers")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A static tarvo needs no shared library; any other build asks dpkg-shlibdeps.
if(NOT TARVO_STATIC OR TARVO_SANITIZE OR TARVO_FUZZ)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
