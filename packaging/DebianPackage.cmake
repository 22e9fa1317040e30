# The Debian package. Library dependencies come from dpkg-shlibdeps; the packages of the files
# Morvex uses without linking them (the Japanese font it asks for by name, the translations of
# Qt's dialogs) are looked up with dpkg on the building machine.

# The package that holds `file`, or `fallback` when dpkg does not know it.
function(morvex_package_of file fallback out)
    set(${out} ${fallback} PARENT_SCOPE)
    find_program(MORVEX_DPKG_QUERY dpkg-query)
    if(MORVEX_DPKG_QUERY AND EXISTS "${file}")
        execute_process(COMMAND ${MORVEX_DPKG_QUERY} -S "${file}"
            OUTPUT_VARIABLE owner ERROR_QUIET RESULT_VARIABLE failed)
        if(NOT failed AND owner MATCHES "^([^:, ]+)")
            set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
        endif()
    endif()
endfunction()

# The font file that renders the family the program substitutes for "MS PGothic" (gui/).
set(font_file "")
find_program(MORVEX_FC_MATCH fc-match)
if(MORVEX_FC_MATCH)
    execute_process(COMMAND ${MORVEX_FC_MATCH} -f "%{family}\n%{file}" IPAPGothic
        OUTPUT_VARIABLE match ERROR_QUIET)
    if(match MATCHES "IPAPGothic[^\n]*\n(.+)$")
        set(font_file ${CMAKE_MATCH_1})
    endif()
endif()
morvex_package_of("${font_file}" fonts-ipafont-gothic font_package)
get_target_property(qmake Qt6::qmake IMPORTED_LOCATION)
execute_process(COMMAND ${qmake} -query QT_INSTALL_TRANSLATIONS
    OUTPUT_VARIABLE translations OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
morvex_package_of("${translations}/qtbase_ja.qm" qt6-translations-l10n translation_package)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvex)
set(CPACK_PACKAGE_VENDOR QOR)
set(CPACK_PACKAGE_CONTACT "QOR <morvex@qor.jp>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "insert headers and footers into Shift-JIS bulletin-board upload files")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://qor.jp/morvex/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS ${font_package})
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${translation_package}, xdg-utils")
# cpack puts the summary first and indents every line of the rest; an empty line becomes " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Morvex is for people who write their bulletin-board messages offline.
Where a greeting or a signature belongs, a line starts with a marker;
Morvex rewrites each upload file in place, replacing every marker line
by an entry drawn at random from the header and footer lists, and keeps
the previous text of the file in a backup.

The package holds the program with its main window and its unattended
modes (convert once, convert around another program, watch the files),
the command-line converter morvex-convert and a user service for the
watch mode.")
include(CPack)
