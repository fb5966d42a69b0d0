# Writes the menu entry at install time, naming the window program by its
# absolute path under the install prefix, quoted for the Exec key as the
# desktop entry format wants it. Set by the caller: TENMARI_DESKTOP_TEMPLATE,
# TENMARI_DESKTOP_ID, TENMARI_BINDIR, TENMARI_PROGRAM_DIR and TENMARI_DATADIR
# (relative to the prefix).

get_filename_component(_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(_program "${_prefix}/${TENMARI_BINDIR}/tenmari")

# TryExec is a plain string: only backslashes are escaped.
string(REPLACE "\\" "\\\\" TENMARI_TRYEXEC "${_program}")
# The working folder, a plain string too: the program folder, where the
# window's first start finds its "Ken_all.csv".
string(REPLACE "\\" "\\\\" TENMARI_WORKDIR "${_prefix}/${TENMARI_PROGRAM_DIR}")

# Exec: a path with reserved characters goes in double quotes, where ", `, $
# and \ take a backslash; a % is doubled; then the value's own backslash
# escaping applies on top.
set(_exec "${_program}")
if(_exec MATCHES "[] \t\"'\\\\><~|&;$*?#()`[]")
  string(REPLACE "\\" "\\\\" _exec "${_exec}")
  string(REPLACE "\"" "\\\"" _exec "${_exec}")
  string(REPLACE "`" "\\`" _exec "${_exec}")
  string(REPLACE "$" "\\$" _exec "${_exec}")
  set(_exec "\"${_exec}\"")
endif()
string(REPLACE "%" "%%" _exec "${_exec}")
string(REPLACE "\\" "\\\\" TENMARI_EXEC "${_exec}")

set(_entry "$ENV{DESTDIR}${_prefix}/${TENMARI_DATADIR}/applications/${TENMARI_DESKTOP_ID}.desktop")
configure_file("${TENMARI_DESKTOP_TEMPLATE}" "${_entry}" @ONLY)
message(STATUS "Installing: ${_entry}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_entry}")
