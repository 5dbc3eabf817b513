# What `cmake --install` puts where, and the Debian package that CPack makes of it
# (`make deb`). The version and the release date come from the top CMakeLists.txt.
include(GNUInstallDirs)
# Installing and packaging need the program and its data files, not the tests: `make deb`
# builds those two targets first, so that a package does not wait for the whole test suite.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(SAYVANE_APP_ID io.github.sayvane.sayvane)
set(SAYVANE_MAINTAINER "The Sayvane developers <sayvane@users.noreply.github.com>")
set(SAYVANE_DATA_DIR ${CMAKE_INSTALL_DATADIR}/sayvane)
set(SAYVANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/sayvane)
set(generated ${CMAKE_BINARY_DIR}/generated)

# Relocations made read-only once the program has started, as Debian links its own programs.
# (_FORTIFY_SOURCE is left out: it marks calls such as write() must-use, which -Werror would
# turn into build failures wherever a result is deliberately ignored.)
target_link_options(sayvane PRIVATE LINKER:-z,relro LINKER:-z,now)

# The changelog's date is in the form Debian's tools read.
execute_process(COMMAND date -u -R -d "${SAYVANE_RELEASE_DATE} 12:00"
    OUTPUT_VARIABLE SAYVANE_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)

configure_file(resources/${SAYVANE_APP_ID}.metainfo.xml.in
    ${generated}/${SAYVANE_APP_ID}.metainfo.xml @ONLY)
configure_file(docs/man/sayvane.1.in ${generated}/sayvane.1 @ONLY)
configure_file(packaging/changelog.in ${generated}/changelog @ONLY)

# Debian wants manual pages and changelogs compressed, without a time stamp inside.
find_program(GZIP gzip REQUIRED)
set(data_files)
foreach(name sayvane.1 changelog)
    add_custom_command(OUTPUT ${generated}/${name}.gz
        COMMAND ${GZIP} -9nf -k ${generated}/${name}
        DEPENDS ${generated}/${name}
        COMMENT "Compressing ${name}")
    list(APPEND data_files ${generated}/${name}.gz)
endforeach()

# The icon in the sizes panels and menus ask for, drawn from the one SVG.
set(SAYVANE_ICON_SIZES 16 22 24 32 48 64 128 256)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
    foreach(size ${SAYVANE_ICON_SIZES})
        set(png ${generated}/icons/${size}x${size}/sayvane.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}x${size}
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
                    ${CMAKE_SOURCE_DIR}/resources/sayvane.svg
            DEPENDS ${CMAKE_SOURCE_DIR}/resources/sayvane.svg
            COMMENT "Drawing the ${size}x${size} icon")
        list(APPEND data_files ${png})
        install(FILES ${png}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
else()
    message(WARNING "rsvg-convert (librsvg2-bin) not found: only the SVG icon is installed")
endif()
# Sanitizer and fuzzer builds make no package: they build only what their tests run.
if(SAYVANE_SANITIZE)
    add_custom_target(sayvane_data DEPENDS ${data_files})
else()
    add_custom_target(sayvane_data ALL DEPENDS ${data_files})
endif()

install(TARGETS sayvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (CPack's) also drops the compilers' notes, as Debian's own strip does.
if(CMAKE_OBJCOPY)
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/sayvane\"
            COMMAND_ERROR_IS_FATAL ANY)
    endif()")
endif()
install(FILES resources/${SAYVANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/${SAYVANE_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/sayvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${generated}/sayvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(DIRECTORY resources/quotes DESTINATION ${SAYVANE_DATA_DIR})
install(FILES packaging/copyright ${generated}/changelog.gz DESTINATION ${SAYVANE_DOC_DIR})
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME sayvane)
# The Plasma panel widget, found by Plasma under its id.
install(DIRECTORY packaging/plasma/io.github.sayvane.ticker
    DESTINATION ${CMAKE_INSTALL_DATADIR}/plasma/plasmoids)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sayvane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "your own quotes, scrolling at the top of the screen")
set(CPACK_PACKAGE_VENDOR "The Sayvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/sayvane/sayvane)
set(CPACK_PACKAGE_INSTALL_DIRECTORY sayvane)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SAYVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries come from the binary; what Qt loads at run time and the emoji font do not.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, fonts-noto-color-emoji")
# What the README promises beyond the program: Chinese letters, Qt's own texts in the interface
# language, the desktop's GTK theme, and the tools the Plasma widget calls the program with.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n, qt6-gtk-platformtheme, libglib2.0-bin")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qdbus-qt5, gnome-shell-extension-appindicator")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Sayvane shows the quotes you collect as a ticker: a small strip at the top
of the screen where every quote, followed by an emoji, scrolls from right to
left without end.

An editor window adds, changes and removes quotes, and imports them from
plain text or fortune files; proverbs in English, Vietnamese and Chinese come
with the package. The interface speaks English, Vietnamese and Chinese.

In GNOME's top bar (with the AppIndicator extension), in the indicator applets
of Xfce and MATE, and as a widget in KDE Plasma's panel, the ticker shows in
the panel itself. From the command line, the same ticker runs inside a status
bar such as waybar, polybar, i3bar or xmobar, on X11 and on Wayland.")
include(CPack)
