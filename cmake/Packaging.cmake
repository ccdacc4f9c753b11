# Packages made from the install rules with CPack: `cpack --config build/CPackConfig.cmake`.
# On Linux a Debian package (kbconfig_<version>_<arch>.deb); on Windows an installer
# (cmake/package_nsis.cmake).

set(CPACK_PACKAGE_NAME "kbconfig")
set(CPACK_PACKAGE_VENDOR "The kbconfig developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator for a USB gaming keyboard")
set(CPACK_PACKAGE_DESCRIPTION
    "Assigns keys, key combinations, media keys and recorded macros to the\n\
keys of the gaming keyboard, sets its ten lighting effects, switches its\n\
three onboard profiles and restores its factory settings. Every change is\n\
sent to the keyboard at once.\n\
.\n\
The package holds the configurator, its command-line tool kbcfg, a demo on\n\
a simulated keyboard, and the udev rule that gives the user at the seat\n\
access to the keyboard.")
set(CPACK_PACKAGE_CONTACT "The kbconfig developers <kbconfig@example.org>")
set(CPACK_STRIP_FILES ON)
# Only the programs' own files: no test or build tool has an install rule.
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CPACK_GENERATOR "DEB")
    set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
    set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
    set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
    set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/kbconfig")
    # Library dependencies come from the binaries; Qt's platform plugins and a CJK font are
    # loaded at run time, so they are named here.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    # Qt shows the desktop's own file chooser through a platform theme (the portal's, or GTK's
    # on GNOME) and its own texts in Chinese from the translations package.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
        "udev, fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS
        "qt6-xdgdesktopportal-platformtheme | qt6-gtk-platformtheme")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
        "${PROJECT_SOURCE_DIR}/packaging/debian/postinst;${PROJECT_SOURCE_DIR}/packaging/debian/postrm")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

    # Debian wants a copyright file, a compressed changelog (a native package's is
    # "changelog.gz") and compressed manual pages.
    set(kb_pkg_dir ${CMAKE_BINARY_DIR}/packaging)
    string(TIMESTAMP kb_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
    file(WRITE ${kb_pkg_dir}/changelog
         "kbconfig (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
         "  * Release ${PROJECT_VERSION}.\n\n"
         " -- ${CPACK_PACKAGE_CONTACT}  ${kb_changelog_date}\n")
    set(kb_gzipped ${kb_pkg_dir}/changelog.gz)
    add_custom_command(OUTPUT ${kb_pkg_dir}/changelog.gz
                       COMMAND gzip -9nfk ${kb_pkg_dir}/changelog
                       DEPENDS ${kb_pkg_dir}/changelog)
    set(kb_man_pages)
    foreach(page kbconfig kbconfig-demo kbcfg)
        add_custom_command(OUTPUT ${kb_pkg_dir}/${page}.1.gz
                           COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/man/${page}.1
                                   > ${kb_pkg_dir}/${page}.1.gz
                           DEPENDS ${PROJECT_SOURCE_DIR}/packaging/man/${page}.1)
        list(APPEND kb_man_pages ${kb_pkg_dir}/${page}.1.gz)
    endforeach()
    add_custom_target(kb_debian_docs ALL DEPENDS ${kb_gzipped} ${kb_man_pages})
    install(FILES ${kb_gzipped} ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
            DESTINATION share/doc/kbconfig)
    install(FILES ${kb_man_pages} DESTINATION share/man/man1)
    # Lintian's remaining notes are informational: "classs" is in a diagnostic line whose
    # wording tools may match; immediate binding (bindnow) would add symbol look-ups to every
    # start; the fortify and .comment notes come from the toolchain defaults.
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
            DESTINATION share/lintian/overrides RENAME kbconfig)
endif()

if(WIN32 AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/package_nsis.cmake)
    include(${CMAKE_CURRENT_LIST_DIR}/package_nsis.cmake)
endif()

include(CPack)
