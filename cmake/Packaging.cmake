# Desktop integration files (icons, AppStream metainfo, manual pages, the
# package's copyright and changelog) and the Debian package.
#
# The package is made by CPack from every install() rule of the project, so
# an executable gets into it by having an install rule like the others.
# scripts/package builds it; scripts/check-package installs it into a fresh
# Debian root and checks it there.

# The day PROJECT_VERSION was released: the metainfo's release entry, the
# manual pages' footer and the package changelog show it.
set(PLANFOLIO_RELEASE_DATE 2026-12-08)
set(PLANFOLIO_MAINTAINER "The Planfolio developers <maintainers@planfolio.invalid>")

# RFC 2822 form of an ISO date (midnight UTC), as Debian changelogs write it.
function(planfolio_rfc2822_date out iso)
    if(NOT iso MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
        message(FATAL_ERROR "Not a YYYY-MM-DD date: ${iso}")
    endif()
    set(year ${CMAKE_MATCH_1})
    math(EXPR month "1${CMAKE_MATCH_2} - 100")
    math(EXPR day "1${CMAKE_MATCH_3} - 100")
    # Day of the week by Sakamoto's method (0 is Sunday).
    set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
    math(EXPR index "${month} - 1")
    list(GET offsets ${index} offset)
    set(y ${year})
    if(month LESS 3)
        math(EXPR y "${year} - 1")
    endif()
    math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
    set(weekdays Sun Mon Tue Wed Thu Fri Sat)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(GET weekdays ${weekday} weekdayName)
    list(GET months ${index} monthName)
    set(${out} "${weekdayName}, ${CMAKE_MATCH_3} ${monthName} ${year} 00:00:00 +0000" PARENT_SCOPE)
endfunction()
planfolio_rfc2822_date(PLANFOLIO_RELEASE_RFC2822 ${PLANFOLIO_RELEASE_DATE})

set(PLANFOLIO_PACKAGING_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(planfolio_compressed)

# Installs `source` as `name`.gz, compressed as Debian wants manual pages
# and changelogs (gzip -9n: no name or time stamp, so the bytes are
# reproducible).
function(planfolio_install_compressed source destination name)
    set(copy ${PLANFOLIO_PACKAGING_DIR}/compressed/${name})
    add_custom_command(OUTPUT ${copy}.gz
                       COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
                       COMMAND gzip -9nf ${copy}
                       DEPENDS ${source}
                       VERBATIM)
    install(FILES ${copy}.gz DESTINATION ${destination})
    set(planfolio_compressed ${planfolio_compressed} ${copy}.gz PARENT_SCOPE)
endfunction()

if(TARGET planfolio)
    foreach(size 16 22 24 32 48 64 128 256 512)
        install(FILES data/icons/hicolor/${size}x${size}/apps/planfolio.png
                DESTINATION share/icons/hicolor/${size}x${size}/apps)
    endforeach()
    configure_file(data/planfolio.metainfo.xml.in ${PLANFOLIO_PACKAGING_DIR}/app.planfolio.Planfolio.metainfo.xml
                   @ONLY)
    install(FILES ${PLANFOLIO_PACKAGING_DIR}/app.planfolio.Planfolio.metainfo.xml DESTINATION share/metainfo)
    configure_file(data/planfolio.1.in ${PLANFOLIO_PACKAGING_DIR}/planfolio.1 @ONLY)
    planfolio_install_compressed(${PLANFOLIO_PACKAGING_DIR}/planfolio.1 share/man/man1 planfolio.1)
endif()
if(TARGET planfolio-cli)
    configure_file(data/planfolio-cli.1.in ${PLANFOLIO_PACKAGING_DIR}/planfolio-cli.1 @ONLY)
    planfolio_install_compressed(${PLANFOLIO_PACKAGING_DIR}/planfolio-cli.1 share/man/man1 planfolio-cli.1)
endif()
configure_file(cmake/changelog.in ${PLANFOLIO_PACKAGING_DIR}/changelog @ONLY)
planfolio_install_compressed(${PLANFOLIO_PACKAGING_DIR}/changelog share/doc/planfolio changelog)
install(FILES data/copyright DESTINATION share/doc/planfolio)
add_custom_target(planfolio_packaging_files ALL DEPENDS ${planfolio_compressed})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME planfolio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Planfolio developers")
set(CPACK_PACKAGE_CONTACT ${PLANFOLIO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "split PDF drawing sets into sheets named from their title blocks")
set(CPACK_PACKAGE_DESCRIPTION
    "Planfolio turns one multi-page PDF drawing set into a folder of single-sheet\n"
    "PDFs, each named after the sheet number and sheet title printed in that\n"
    "page's title block, plus a CSV register of the sheets. Regions are drawn\n"
    "once per group of same-sized pages, the names are read from the PDF text\n"
    "layer and reviewed in a table before export.\n"
    "\n"
    "Everything stays on the computer: no OCR, no network, the source file is\n"
    "never changed, and an export either completes or leaves nothing behind.\n"
    "The package holds the desktop application and planfolio-cli, a command-line\n"
    "tool with the same checks for scripts.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_NAME planfolio)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PLANFOLIO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the executables link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
