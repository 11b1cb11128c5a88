# Installation and the Debian package. Included from the top-level
# CMakeLists.txt, so CMAKE_CURRENT_SOURCE_DIR is the project's root here.
#
#   cmake --install build                  installs under CMAKE_INSTALL_PREFIX
#   cmake --build build --target package   builds build/veltrane_1.0.0_<arch>.deb

include(GNUInstallDirs)

set(VELTRANE_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VELTRANE_ICON_SIZES 16 32 48 64 128 256)

install(TARGETS veltrane-check veltrane-lsp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VELTRANE_PACKAGING_DIR}/veltrane-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME veltrane.xml)

# Manual pages are installed compressed, as Debian expects them.
set(VELTRANE_MAN_PAGES veltrane veltrane-check veltrane-lsp)
set(_veltrane_man_gz)
foreach(page IN LISTS VELTRANE_MAN_PAGES)
  set(_src ${VELTRANE_PACKAGING_DIR}/man/${page}.1)
  set(_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/man/${page}.1.gz)
  add_custom_command(
    OUTPUT ${_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging/man
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${_src} ${_gz}
    DEPENDS ${_src}
    COMMENT "Compressing manual page ${page}(1)"
    VERBATIM)
  list(APPEND _veltrane_man_gz ${_gz})
endforeach()
add_custom_target(veltrane_man_pages ALL DEPENDS ${_veltrane_man_gz})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/man/veltrane-check.1.gz
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/man/veltrane-lsp.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The README and the pages it links to, where the manual pages point:
# /usr/share/doc/veltrane/README.md and docs/ beside it, so that the links
# lead where they do in a checkout.
set(VELTRANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/veltrane)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${VELTRANE_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION ${VELTRANE_DOC_DIR})

# The editor packages, where each editor looks for them: Neovim's and Vim's
# site folders, Emacs' site-lisp with a start-up file that registers the
# mode, and KSyntaxHighlighting's syntax folder (Kate, KWrite, KDevelop).
# Kate's LSP client reads its settings from the user's folder only, so its
# settings go where docs/editors.md points.
set(VELTRANE_EDITORS_DIR ${PROJECT_SOURCE_DIR}/editors)
install(DIRECTORY ${VELTRANE_EDITORS_DIR}/vim/ DESTINATION ${CMAKE_INSTALL_DATADIR}/nvim/site)
install(DIRECTORY ${VELTRANE_EDITORS_DIR}/vim/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vim/vimfiles
        PATTERN lua EXCLUDE)
install(FILES ${VELTRANE_EDITORS_DIR}/emacs/ins-mode.el
        DESTINATION ${CMAKE_INSTALL_DATADIR}/emacs/site-lisp/veltrane)
install(FILES ${VELTRANE_EDITORS_DIR}/emacs/50veltrane.el DESTINATION /etc/emacs/site-start.d)
install(FILES ${VELTRANE_EDITORS_DIR}/kate/ins.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/org.kde.syntax-highlighting/syntax)
install(FILES ${VELTRANE_EDITORS_DIR}/kate/lspclient-settings.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/veltrane/kate)

# The dialog program, its desktop entry, icons and manual page go in only
# when the dialog is built (VELTRANE_GUI): a desktop entry without the
# program it starts would be a broken menu item. The decision waits for the
# end of the top-level directory, so that it sees the target wherever the
# dialog's add_subdirectory stands.
function(veltrane_install_dialog)
  if(NOT TARGET veltrane)
    message(STATUS "Packaging: no dialog target 'veltrane'; the package holds veltrane-check only")
    return()
  endif()
  install(TARGETS veltrane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${VELTRANE_PACKAGING_DIR}/veltrane.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/man/veltrane.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  foreach(size IN LISTS VELTRANE_ICON_SIZES)
    set(_icon ${PROJECT_SOURCE_DIR}/res/icons/veltrane-${size}.png)
    if(EXISTS ${_icon})
      install(FILES ${_icon}
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
              RENAME veltrane.png)
    else()
      message(WARNING "Packaging: ${_icon} is missing; the package has no ${size}x${size} icon")
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL veltrane_install_dialog)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VENDOR "Veltrane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Veltrane developers <veltrane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "checker for MIDI instrument definition files")
# The summary above becomes the first line of the package's description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Veltrane checks instrument definition files (.ins), the text files that
tell a MIDI sequencer the names of an instrument's patches, drum notes and
controllers. It finds every duplicate label, every label that nothing uses
and every reference to a label that does not exist, and writes a check
protocol with the line of each finding.
.
The package holds the dialog program veltrane, which opens .ins files from
the file manager, the command-line checker veltrane-check, which checks
many files at once for scripts, editors and CI jobs, and the language
server veltrane-lsp, which checks files in an editor as they are typed.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The shared libraries (the C++ run time, the wx GTK library) come from
# dpkg-shlibdeps; xdg-open, which hands the protocol to the viewer, is a
# program and has to be named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
include(CPack)
