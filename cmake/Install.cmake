# Installation layout (cmake --install) and the Debian package (cpack -G DEB).
#
# Generated at build time, not committed: the PNG renders of the program icon
# (rsvg-convert from the one SVG, so they never drift from it) and the gzipped
# man pages (scdoc from doc/*.scd). Both tools are Debian packages
# (librsvg2-bin, scdoc); scripts/install-deps installs them.

include(GNUInstallDirs)

# The desktop-file id, the AppStream component id and the file names below are one
# name; the window should call QGuiApplication::setDesktopFileName() with it.
set(KIRVO_APP_ID example.orvane.kirvo)
set(KIRVO_ICON_SIZES 16 22 24 32 48 64 128 256)
set(KIRVO_LINUX_DIR ${CMAKE_SOURCE_DIR}/res/linux)
# Day of this version's release: fixes the date in the man pages (reproducible builds).
set(KIRVO_RELEASE_EPOCH 1796601600) # 2026-12-07 00:00 UTC

install(TARGETS kirvo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kirvo)
  install(TARGETS kirvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(UNIX AND NOT APPLE)
  find_program(KIRVO_RSVG_CONVERT rsvg-convert)
  find_program(KIRVO_SCDOC scdoc)
  find_program(KIRVO_GZIP gzip)
  set(KIRVO_DATA_DIR ${CMAKE_BINARY_DIR}/share)
  set(KIRVO_GENERATED_DATA)

  if(TARGET kirvo)
    install(FILES ${KIRVO_LINUX_DIR}/${KIRVO_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${KIRVO_LINUX_DIR}/${KIRVO_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${CMAKE_SOURCE_DIR}/res/icons/kirvo.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    if(KIRVO_RSVG_CONVERT)
      set(icon_source ${CMAKE_SOURCE_DIR}/res/icons/kirvo.svg)
      foreach(size IN LISTS KIRVO_ICON_SIZES)
        set(icon_dir ${KIRVO_DATA_DIR}/icons/hicolor/${size}x${size}/apps)
        add_custom_command(
          OUTPUT ${icon_dir}/kirvo.png
          COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
          COMMAND ${KIRVO_RSVG_CONVERT} --width=${size} --height=${size} --output=${icon_dir}/kirvo.png ${icon_source}
          DEPENDS ${icon_source}
          COMMENT "Programmsymbol ${size}x${size}"
          VERBATIM)
        list(APPEND KIRVO_GENERATED_DATA ${icon_dir}/kirvo.png)
        install(FILES ${icon_dir}/kirvo.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
      endforeach()
    else()
      message(WARNING "rsvg-convert fehlt (Paket librsvg2-bin): PNG-Symbole werden nicht gebaut und nicht installiert.")
    endif()
  endif()

  set(man_pages kirvo-cli)
  if(TARGET kirvo)
    list(APPEND man_pages kirvo)
  endif()
  if(KIRVO_SCDOC AND KIRVO_GZIP)
    foreach(page IN LISTS man_pages)
      set(page_source ${CMAKE_SOURCE_DIR}/doc/${page}.1.scd)
      set(page_out ${KIRVO_DATA_DIR}/man/man1/${page}.1.gz)
      # .nh: groff would otherwise hyphenate the German text by English rules.
      add_custom_command(
        OUTPUT ${page_out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${KIRVO_DATA_DIR}/man/man1
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KIRVO_RELEASE_EPOCH}
                sh -c [[set -e; "$1" < "$2" | sed '/^\.TH /a .nh' | "$3" -n -9 > "$4.tmp"; mv "$4.tmp" "$4"]]
                sh ${KIRVO_SCDOC} ${page_source} ${KIRVO_GZIP} ${page_out}
        DEPENDS ${page_source}
        COMMENT "Handbuchseite ${page}(1)"
        VERBATIM)
      list(APPEND KIRVO_GENERATED_DATA ${page_out})
      install(FILES ${page_out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
  else()
    message(WARNING "scdoc oder gzip fehlt (Paket scdoc): Handbuchseiten werden nicht gebaut und nicht installiert.")
  endif()

  if(KIRVO_GZIP)
    set(changelog_out ${KIRVO_DATA_DIR}/doc/changelog.gz)
    add_custom_command(
      OUTPUT ${changelog_out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KIRVO_DATA_DIR}/doc
      COMMAND sh -c [["$1" -n -9 < "$2" > "$3.tmp" && mv "$3.tmp" "$3"]]
              sh ${KIRVO_GZIP} ${KIRVO_LINUX_DIR}/changelog ${changelog_out}
      DEPENDS ${KIRVO_LINUX_DIR}/changelog
      VERBATIM)
    list(APPEND KIRVO_GENERATED_DATA ${changelog_out})
    install(FILES ${changelog_out} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kirvo)
  endif()
  install(FILES ${KIRVO_LINUX_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kirvo)
  # Overrides for what lintian flags but is intended; see the file's comments.
  install(FILES ${KIRVO_LINUX_DIR}/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kirvo)

  install(FILES ${CMAKE_SOURCE_DIR}/res/completion/kirvo-cli.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kirvo-cli)

  add_custom_target(kirvo_data ALL DEPENDS ${KIRVO_GENERATED_DATA})

  if(KIRVO_BUILD_TESTS)
    if(TARGET kirvo)
      set(install_gui 1)
    else()
      set(install_gui 0)
    endif()
    # Two tests: the file checks always run; the validators' test reports itself as
    # skipped (exit 77) when appstreamcli, desktop-file-validate or bash-completion are missing.
    foreach(mode IN ITEMS files validate)
      add_test(NAME install_${mode}
               COMMAND sh ${CMAKE_SOURCE_DIR}/tests/install/check-install.sh ${mode}
                       ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR} ${PROJECT_VERSION} ${install_gui})
      set_tests_properties(install_${mode} PROPERTIES LABELS install SKIP_RETURN_CODE 77)
    endforeach()
  endif()
endif()

# Debian package: cpack -G DEB (see ./package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kirvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "Orvane <kirvo@orvane.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvane <kirvo@orvane.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kirvo.orvane.example/")
# dpkg-shlibdeps finds libc, libstdc++ and Qt's libraries (libqt6core6, libqt6gui6,
# libqt6widgets6) from the binaries. The plugins Qt loads at run time, the platform
# plugins and the SVG icon engine, have no ELF dependency pointing at them: named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET kirvo)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6 (>= 6.4), qt6-qpa-plugins (>= 6.4)")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion, qt6-translations-l10n, libnotify-bin")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "compare two folder trees and bring them into line
Kirvo compares a source folder and a target folder file by file, including
their sub-folders, and shows the result as one list with an arrow per file:
which side is newer, which file exists on one side only, which are equal.
It copies newer or missing files in either direction, or deletes files,
after asking first. The user interface is German.
.
The package contains the window (kirvo) and the command-line tool kirvo-cli,
which offers the same comparison and synchronisation for scripts.")
include(CPack)
