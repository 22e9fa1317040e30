# Run by "cmake --install": the files that name installed paths are written here, with the
# prefix given at install time, so that "--prefix" and relocated installs name the right places.
# Expects MORVEX_SOURCE, MORVEX_BINARY_DIR, MORVEX_VERSION, MORVEX_BINDIR,
# MORVEX_MODULE_INSTALL_DIR, MORVEX_DATA_INSTALL_DIR, MORVEX_DOC_INSTALL_DIR, MORVEX_MANDIR and
# MORVEX_USER_UNIT_DIR (the last seven relative to the prefix).
set(PROJECT_VERSION ${MORVEX_VERSION})
set(MORVEX_BINARY ${CMAKE_INSTALL_PREFIX}/${MORVEX_BINDIR}/morvex)
set(MORVEX_MODULE_DIR ${CMAKE_INSTALL_PREFIX}/${MORVEX_MODULE_INSTALL_DIR})
set(MORVEX_DATA_DIR ${CMAKE_INSTALL_PREFIX}/${MORVEX_DATA_INSTALL_DIR})
set(MORVEX_DOC_DIR ${CMAKE_INSTALL_PREFIX}/${MORVEX_DOC_INSTALL_DIR})
set(out ${MORVEX_BINARY_DIR}/install-time)
file(MAKE_DIRECTORY ${out})

configure_file(${MORVEX_SOURCE}/morvex-watch.service.in ${out}/morvex-watch.service @ONLY)
file(INSTALL DESTINATION ${CMAKE_INSTALL_PREFIX}/${MORVEX_USER_UNIT_DIR} TYPE FILE
    FILES ${out}/morvex-watch.service)

# Man pages go out compressed, without a time stamp in the gzip header, as Debian wants them.
foreach(page morvex.1 morvex-convert.1)
    configure_file(${MORVEX_SOURCE}/man/${page}.in ${out}/${page} @ONLY)
    execute_process(COMMAND gzip -9nf ${page} WORKING_DIRECTORY ${out} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "gzip could not compress ${page}")
    endif()
    file(INSTALL DESTINATION ${CMAKE_INSTALL_PREFIX}/${MORVEX_MANDIR}/man1 TYPE FILE
        FILES ${out}/${page}.gz)
endforeach()
