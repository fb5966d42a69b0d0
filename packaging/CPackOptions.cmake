# Read by cpack while packaging. The package description says where its
# dictionaries came from: TENMARI_KEN_ALL when set (the install step builds them
# from it), the project's sample otherwise.

set(_summary "Japanese postal codes to addresses and addresses to postal codes")
set(_about [=[
Tenmari finds the address of a Japanese postal code, every address whose
code begins with a few digits, and the postal codes of the beginning of an
address, in a small desktop window or from the command line with
tenmari-lookup. The result goes to the clipboard as the address or as the
code, with or without the postal mark and the hyphen.
]=])
set(_command [=[
download Japan Post's file
  https://www.post.japanpost.jp/zipcode/dl/kogaki/zip/ken_all.zip
and run:
  sudo tenmari-jisho ken_all.zip /usr/lib/tenmari/Jisho
]=])

if("$ENV{TENMARI_KEN_ALL}" STREQUAL "")
  set(_data "This package carries only a small sample dictionary of made-up records\n(try the postal code 100-0001), not Japan Post's postal code data.\nTo install the real dictionaries, ${_command}")
  set(_kept "Japan Post publishes a new file every month; the same command updates\nthe dictionaries. Dictionaries built this way are kept when the package\nis upgraded.\n")
else()
  # The date of KEN_ALL.CSV inside Japan Post's zip is the date of the data;
  # the zip's own file time is only when it was copied.
  get_filename_component(_name "$ENV{TENMARI_KEN_ALL}" NAME)
  set(_dated "")
  find_program(_unzip unzip)
  if(_unzip AND _name MATCHES "\\.[Zz][Ii][Pp]$")
    execute_process(COMMAND ${_unzip} -Z -T "$ENV{TENMARI_KEN_ALL}"
      OUTPUT_VARIABLE _listing ERROR_QUIET RESULT_VARIABLE _result)
    if(_result EQUAL 0 AND _listing MATCHES " ([0-9][0-9][0-9][0-9])([0-9][0-9])([0-9][0-9])\\.[0-9]+ +[Kk][Ee][Nn]_[Aa][Ll][Ll]\\.[Cc][Ss][Vv]")
      set(_dated ", data of ${CMAKE_MATCH_1}-${CMAKE_MATCH_2}-${CMAKE_MATCH_3}")
    endif()
  endif()
  set(_data "The dictionaries were built from Japan Post's postal code file\n(${_name}${_dated}).\n")
  set(_kept "Japan Post publishes a new file every month. To update the dictionaries,\n${_command}Dictionaries built this way are kept when the package is upgraded.\n")
endif()

set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${_summary}\n${_about}\n${_data}\n${_kept}")
