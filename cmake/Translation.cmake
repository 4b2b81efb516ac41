# The texts of the window and of kirvo-cli in other languages (GNU gettext).
#
# The German texts in the sources are the messages' ids and the default. The
# marker functions Tr/TrN/TrNoop (src/platform/translation.h) and QTr/QTrN
# (src/platform/qt/qt_translation.h) mark them for xgettext; po/kirvo.pot is the
# template made from them and po/en.po the English catalogue, compiled here into
# share/locale/en/LC_MESSAGES/kirvo.mo of the build tree (where the programs
# find it when run from there) and installed to the same place under the prefix.
#
# After adding or changing a marked text:
#   cmake --build build --target kirvo_pot   (regenerates po/kirvo.pot, merges po/en.po)
#   then translate every empty or "#, fuzzy" entry in po/en.po and commit both files.
# The test po_catalogue fails while that is not done.

include(GNUInstallDirs)

find_program(KIRVO_XGETTEXT xgettext)
find_program(KIRVO_MSGMERGE msgmerge)
find_program(KIRVO_MSGFMT msgfmt)
find_program(KIRVO_MSGATTRIB msgattrib)

set(KIRVO_PO_DIR ${CMAKE_SOURCE_DIR}/po)
set(KIRVO_LANGUAGES en)
set(KIRVO_LOCALE_DIR ${CMAKE_BINARY_DIR}/share/locale)
set(KIRVO_PO_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/po-catalogue.sh)

if(NOT KIRVO_MSGFMT)
  message(WARNING "msgfmt fehlt (Paket gettext): die Programme bleiben deutsch, ohne englischen Katalog.")
  return()
endif()

set(KIRVO_CATALOGUES)
foreach(language IN LISTS KIRVO_LANGUAGES)
  set(mo ${KIRVO_LOCALE_DIR}/${language}/LC_MESSAGES/kirvo.mo)
  add_custom_command(
    OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KIRVO_LOCALE_DIR}/${language}/LC_MESSAGES
    COMMAND ${KIRVO_MSGFMT} --check -o ${mo} ${KIRVO_PO_DIR}/${language}.po
    DEPENDS ${KIRVO_PO_DIR}/${language}.po
    COMMENT "Katalog ${language}"
    VERBATIM)
  list(APPEND KIRVO_CATALOGUES ${mo})
  install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES)
endforeach()
add_custom_target(kirvo_catalogues ALL DEPENDS ${KIRVO_CATALOGUES})
add_dependencies(kirvo-cli kirvo_catalogues)
if(TARGET kirvo)
  add_dependencies(kirvo kirvo_catalogues)
endif()

if(KIRVO_XGETTEXT AND KIRVO_MSGMERGE AND KIRVO_MSGATTRIB)
  add_custom_target(kirvo_pot
    COMMAND sh ${KIRVO_PO_SCRIPT} update ${CMAKE_SOURCE_DIR}
    COMMENT "po/kirvo.pot neu erzeugen, po/*.po abgleichen"
    VERBATIM)
  if(KIRVO_BUILD_TESTS)
    add_test(NAME po_catalogue COMMAND sh ${KIRVO_PO_SCRIPT} check ${CMAKE_SOURCE_DIR})
    set_tests_properties(po_catalogue PROPERTIES LABELS core)
  endif()
endif()
