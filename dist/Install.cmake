# Installation as a desktop program (cmake --install) and the Debian package (cpack).
#
# Run-time files go where the program looks for them relative to itself: the help file in
# ../share/gleanwick/ from bin/. The icons, pictures and strings are compiled in.
include(GNUInstallDirs)

set(GW_APP_ID com.hollowfen.Gleanwick)
set(GW_DIST_DIR ${CMAKE_SOURCE_DIR}/dist)
set(GW_DIST_OUT ${CMAKE_BINARY_DIR}/dist)
set(GW_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/gleanwick)

# cpack and `cmake --install` take what is built; building everything first (the tests and
# benchmarks) is not needed for the program. scripts/package.sh builds the targets below.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The PNG sizes of the icon, rendered from its SVG.
find_program(GW_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GW_GZIP gzip REQUIRED)
set(GW_ICON_SVG ${CMAKE_SOURCE_DIR}/res/icons/gleanwick.svg)
set(GW_DIST_FILES)
foreach(size 16 22 24 32 48 64 128 256)
    set(png ${GW_DIST_OUT}/icons/${size}x${size}/${GW_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${GW_DIST_OUT}/icons/${size}x${size}
        COMMAND ${GW_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${GW_ICON_SVG}
        DEPENDS ${GW_ICON_SVG}
        COMMENT "Rendering the ${size}x${size} icon")
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
    list(APPEND GW_DIST_FILES ${png})
endforeach()

# Files that carry the version, and their compressed forms (gzip -n: no time stamp inside, so
# that the same sources give the same package).
configure_file(${GW_DIST_DIR}/gleanwick.1.in ${GW_DIST_OUT}/gleanwick.1 @ONLY)
configure_file(${GW_DIST_DIR}/changelog.in ${GW_DIST_OUT}/changelog @ONLY)
configure_file(${GW_DIST_DIR}/${GW_APP_ID}.metainfo.xml.in ${GW_DIST_OUT}/${GW_APP_ID}.metainfo.xml
               @ONLY)
foreach(name gleanwick.1 changelog)
    add_custom_command(OUTPUT ${GW_DIST_OUT}/${name}.gz
        COMMAND ${GW_GZIP} -9 -n -c ${GW_DIST_OUT}/${name} > ${GW_DIST_OUT}/${name}.gz
        DEPENDS ${GW_DIST_OUT}/${name}
        COMMENT "Compressing ${name}")
    list(APPEND GW_DIST_FILES ${GW_DIST_OUT}/${name}.gz)
endforeach()
add_custom_target(gleanwick_dist ALL DEPENDS ${GW_DIST_FILES})

# Relocations resolved at start and then made read-only, as Debian links its programs.
target_link_options(gleanwick PRIVATE LINKER:-z,relro,-z,now)
install(TARGETS gleanwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/res/Gleanwick.hlp DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/gleanwick)
install(FILES ${GW_DIST_DIR}/${GW_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${GW_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps
        RENAME ${GW_APP_ID}.svg)
install(FILES ${GW_DIST_OUT}/${GW_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${GW_DIST_OUT}/gleanwick.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${GW_DIST_DIR}/copyright DESTINATION ${GW_DOC_DIR})
# The package's version has no Debian revision: a native package, whose changelog is
# changelog.gz.
install(FILES ${GW_DIST_OUT}/changelog.gz DESTINATION ${GW_DOC_DIR})

# The Debian package: gleanwick_<version>_<arch>.deb, its dependencies read from the binary.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gleanwick)
set(CPACK_PACKAGE_VENDOR Hollowfen)
set(CPACK_PACKAGE_CONTACT "Hollowfen <gleanwick@hollowfen.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Usenet binaries downloader and decoder")
set(CPACK_PACKAGE_DESCRIPTION
    "Gleanwick walks the subscribed newsgroups of your news servers over NNTP,
picks the articles that carry files, decodes uuencoded and MIME attachments
(including posts split over several articles) and writes the files to disk.

It has kill rules by author, file name or subject, a choice of the MIME types
to extract, and a headless mode for cron jobs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION news)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.hollowfen.com/Gleanwick/)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
