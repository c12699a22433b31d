# What `cmake --install` puts under the prefix.
include(GNUInstallDirs)

install(TARGETS tarvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/tarvo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The documents keep their places relative to each other, so that the links
# between them still lead somewhere.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
file(GLOB TARVO_DOCUMENTS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${TARVO_DOCUMENTS} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
