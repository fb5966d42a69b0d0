# Installing Tenmari, and its Debian package.
#
#   cmake --install build --prefix P
#
# puts the program folder under P/lib/tenmari: the programs with Image/ and, when
# the build has prepared it, Jisho/ beside them, as the programs look for their
# folders beside their own real path. P/bin gets links to the programs; the menu
# entry, the icons, the AppStream data and the man pages go under P/share.
#
#   cpack -G DEB --config build/CPackConfig.cmake     (or packaging/build-deb.sh)
#
# builds tenmari_<version>_<arch>.deb. The package carries its own dictionaries,
# built while packaging from TENMARI_KEN_ALL or else from the sample, under
# /usr/share/tenmari/Jisho; its postinst copies them to /var/lib/tenmari/Jisho,
# where /usr/lib/tenmari/Jisho points, unless the user has built newer ones there.

# Components: Runtime (everything but the dictionaries), Jisho (the build's own
# dictionaries, for cmake --install) and DebianJisho (the package's, for cpack).

include(GNUInstallDirs)

# The menu entry and the icon are named after the program, as the window
# names itself (QGuiApplication::setDesktopFileName in mainwindow/main.cpp);
# the AppStream component needs a reverse-DNS id and points at the entry.
set(TENMARI_DESKTOP_ID tenmari)
set(TENMARI_APP_ID "io.github.tenmari.Tenmari" CACHE STRING "AppStream component id")
set(_tenmari_docs_placeholder "https://tenmari.invalid/docs")
set(TENMARI_DOCS_URL "${_tenmari_docs_placeholder}" CACHE STRING
  "Web address where the repository's docs/ folder is published (screenshots in the AppStream data)")
if(TENMARI_DOCS_URL STREQUAL _tenmari_docs_placeholder)
  message(STATUS "AppStream screenshots point at ${TENMARI_DOCS_URL}: set TENMARI_DOCS_URL to where docs/ is published")
endif()
set(TENMARI_PACKAGE_MAINTAINER "Tenmari developers" CACHE STRING
  "Maintainer field of the Debian package (\"Name <address>\")")

# Relative to the prefix; never the multiarch library folder: the folder is the program's own.
set(TENMARI_PROGRAM_DIR "lib/tenmari")
set(_tenmari_programs tenmari-lookup tenmari-jisho)
if(TARGET tenmari)
  list(PREPEND _tenmari_programs tenmari)
endif()
# The folder the build puts the window program in, with its Jisho/ and Image/.
if(TARGET tenmari)
  set(_tenmari_build_program_dir "$<TARGET_FILE_DIR:tenmari>")
else()
  set(_tenmari_build_program_dir "$<TARGET_FILE_DIR:tenmari-lookup>")
endif()

# --- The program folder ------------------------------------------------------
install(TARGETS ${_tenmari_programs}
  RUNTIME DESTINATION ${TENMARI_PROGRAM_DIR} COMPONENT Runtime)
# The window's clipboard helper lives beside it, with no link in bin: only
# the window starts it.
if(TARGET tenmari-clipboard)
  install(TARGETS tenmari-clipboard
    RUNTIME DESTINATION ${TENMARI_PROGRAM_DIR} COMPONENT Runtime)
endif()
install(DIRECTORY "${_tenmari_build_program_dir}/Image/"
  DESTINATION ${TENMARI_PROGRAM_DIR}/Image COMPONENT Runtime OPTIONAL
  FILES_MATCHING PATTERN "*.jpg")
install(CODE "
  set(TENMARI_JISHO_FROM \"${_tenmari_build_program_dir}/Jisho\")
  set(TENMARI_JISHO_TO \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TENMARI_PROGRAM_DIR}/Jisho\")
  set(TENMARI_SAMPLE \"${PROJECT_SOURCE_DIR}/resources/sample/KEN_ALL_SAMPLE.CSV\")
  include(\"${PROJECT_SOURCE_DIR}/packaging/InstallJisho.cmake\")"
  COMPONENT Jisho)

# The window's first start, with no region chosen, searches "Ken_all.csv" in
# its working folder: the menu entry starts it in the program folder, where
# this link names the nationwide dictionary.
install(CODE "
  set(_lib \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TENMARI_PROGRAM_DIR}\")
  file(MAKE_DIRECTORY \"\${_lib}\")
  file(REMOVE \"\${_lib}/Ken_all.csv\")
  file(CREATE_LINK Jisho/Zenkoku.csv \"\${_lib}/Ken_all.csv\" SYMBOLIC)
  message(STATUS \"Installing: \${_lib}/Ken_all.csv -> Jisho/Zenkoku.csv\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_lib}/Ken_all.csv\")"
  COMPONENT Runtime)

# Links in bin, relative so that the installed tree can be moved as a whole.
foreach(_program IN LISTS _tenmari_programs)
  install(CODE "
    set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${_bin}\")
    file(REMOVE \"\${_bin}/${_program}\")
    file(CREATE_LINK \"../${TENMARI_PROGRAM_DIR}/${_program}\" \"\${_bin}/${_program}\" SYMBOLIC)
    message(STATUS \"Installing: \${_bin}/${_program} -> ../${TENMARI_PROGRAM_DIR}/${_program}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_bin}/${_program}\")"
    COMPONENT Runtime)
endforeach()

# --- Menu entry, icons, AppStream data ---------------------------------------
# Only with the window program: the entry starts it.
if(TARGET tenmari)
  # The entry names the program by its absolute path, so that it starts from a
  # prefix that is not on PATH; the path is known only when installing.
  install(CODE "
    set(TENMARI_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/packaging/tenmari.desktop.in\")
    set(TENMARI_DESKTOP_ID \"${TENMARI_DESKTOP_ID}\")
    set(TENMARI_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(TENMARI_PROGRAM_DIR \"${TENMARI_PROGRAM_DIR}\")
    set(TENMARI_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
    include(\"${PROJECT_SOURCE_DIR}/packaging/InstallDesktopEntry.cmake\")"
    COMPONENT Runtime)

  configure_file(packaging/tenmari.metainfo.xml.in
    ${PROJECT_BINARY_DIR}/packaging/${TENMARI_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${TENMARI_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT Runtime)

  # The emblem as the application icon: the SVG itself and PNGs rendered from it.
  set(_icon_sizes 16 24 32 48 64 128 256)
  set(_icon_dir ${PROJECT_BINARY_DIR}/packaging/icons)
  set(_icon_pngs)
  foreach(_size IN LISTS _icon_sizes)
    list(APPEND _icon_pngs ${_icon_dir}/emblem-${_size}.png)
  endforeach()
  add_custom_command(OUTPUT ${_icon_pngs}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:tenmari-render-icons> ${_icon_dir} --app-icon
    DEPENDS tenmari-render-icons ${PROJECT_SOURCE_DIR}/resources/icons/emblem.svg
    COMMENT "Rendering the application icon"
    VERBATIM)
  add_custom_target(tenmari-app-icons ALL DEPENDS ${_icon_pngs})
  foreach(_size IN LISTS _icon_sizes)
    install(FILES ${_icon_dir}/emblem-${_size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
      RENAME ${TENMARI_DESKTOP_ID}.png COMPONENT Runtime)
  endforeach()
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/emblem.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${TENMARI_DESKTOP_ID}.svg COMPONENT Runtime)
endif()

# --- Man pages (compressed, as Debian installs them) -------------------------
find_program(TENMARI_GZIP gzip)
foreach(_page tenmari-lookup.1 tenmari-jisho.1)
  set(_source ${PROJECT_SOURCE_DIR}/packaging/man/${_page})
  if(TENMARI_GZIP)
    set(_built ${PROJECT_BINARY_DIR}/packaging/man/${_page}.gz)
    add_custom_command(OUTPUT ${_built}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging/man
      COMMAND ${TENMARI_GZIP} -9 -n -c ${_source} > ${_built}
      DEPENDS ${_source}
      COMMENT "Compressing the man page ${_page}")
    list(APPEND _tenmari_man_pages ${_built})
  else()
    list(APPEND _tenmari_man_pages ${_source})
  endif()
endforeach()
add_custom_target(tenmari-man-pages ALL DEPENDS ${_tenmari_man_pages})
install(FILES ${_tenmari_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
# The program's licence (LICENSE, MIT) in Debian's form; the dictionaries keep Japan Post's terms.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tenmari COMPONENT Runtime)

# --- The package's own dictionaries ------------------------------------------
# Built while packaging, from TENMARI_KEN_ALL if it is set, else from the
# sample; never from whatever the build's Jisho/ happens to hold.
install(CODE "
  set(_source \"\$ENV{TENMARI_KEN_ALL}\")
  if(_source STREQUAL \"\")
    set(_source \"${PROJECT_SOURCE_DIR}/resources/sample/KEN_ALL_SAMPLE.CSV\")
  elseif(NOT EXISTS \"\${_source}\" OR IS_DIRECTORY \"\${_source}\")
    message(FATAL_ERROR \"TENMARI_KEN_ALL names no file: \${_source}\")
  endif()
  set(_jisho \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/tenmari/Jisho\")
  message(STATUS \"Building the package's dictionaries from \${_source}\")
  execute_process(COMMAND \"$<TARGET_FILE:tenmari-jisho>\" \"\${_source}\" \"\${_jisho}\"
    RESULT_VARIABLE _result OUTPUT_VARIABLE _report ERROR_VARIABLE _error)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR \"tenmari-jisho failed (\${_result}): \${_error}\")
  endif()
  message(STATUS \"\${_report}\")
  file(GLOB _files \"\${_jisho}/*.csv\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \${_files})
  set(_lib \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TENMARI_PROGRAM_DIR}\")
  file(MAKE_DIRECTORY \"\${_lib}\")
  file(REMOVE_RECURSE \"\${_lib}/Jisho\")
  file(CREATE_LINK /var/lib/tenmari/Jisho \"\${_lib}/Jisho\" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_lib}/Jisho\")"
  COMPONENT DebianJisho EXCLUDE_FROM_ALL)

# --- Debian package ----------------------------------------------------------
set(CPACK_PACKAGE_NAME tenmari)
set(CPACK_PACKAGE_VENDOR "Tenmari")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "${TENMARI_PACKAGE_MAINTAINER}")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Runtime DebianJisho)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME tenmari)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's font stands in for "ＭＳ Ｐゴシック" with IPA P Gothic, whose
# metrics keep the captions where the window's design puts them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
  ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The description depends on the dictionaries' source, known only when packaging.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/CPackOptions.cmake)
set(CPACK_GENERATOR DEB)
# A source tarball (make package_source) holds the repository's files only:
# no build trees, and never Japan Post's file or dictionaries built from it.
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES
  "/\\\\.git" "/build[^/]*/" "/Jisho/" "/downloads/" "/[Kk][Ee][Nn]_[Aa][Ll][Ll]\\\\.[^/]*$")
include(CPack)

# --- Checks --------------------------------------------------------------------
if(BUILD_TESTING)
  set(_check_env "QT_QPA_PLATFORM=offscreen")
  # Installs into a scratch prefix; the two tests after it look at that tree.
  add_test(NAME install_tree
    COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/check-install.sh ${PROJECT_BINARY_DIR}
            ${PROJECT_BINARY_DIR}/check-install $<TARGET_EXISTS:tenmari>)
  set_tests_properties(install_tree PROPERTIES
    FIXTURES_SETUP installed ENVIRONMENT "${_check_env};TENMARI_APP_ID=${TENMARI_APP_ID};TENMARI_DESKTOP_ID=${TENMARI_DESKTOP_ID}"
    RESOURCE_LOCK install_tree)
  add_test(NAME install_metadata_valid
    COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/validate-metadata.sh
            ${PROJECT_BINARY_DIR}/check-install/prefix ${TENMARI_DESKTOP_ID} ${TENMARI_APP_ID})
  set_tests_properties(install_metadata_valid PROPERTIES
    FIXTURES_REQUIRED installed SKIP_RETURN_CODE 77 RESOURCE_LOCK install_tree)
  add_test(NAME deb_package
    COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/check-deb.sh ${PROJECT_BINARY_DIR}
            ${PROJECT_BINARY_DIR}/check-deb $<TARGET_EXISTS:tenmari>)
  set_tests_properties(deb_package PROPERTIES
    ENVIRONMENT "${_check_env}" SKIP_RETURN_CODE 77 TIMEOUT 300 RESOURCE_LOCK install_tree)
endif()
