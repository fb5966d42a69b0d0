# Installs the build's dictionaries into the program folder without losing
# newer ones there. Dictionaries in the folder are kept when they were built
# after the build's (tenmari-jisho run on the installed tree after an earlier
# install), and the sample never replaces dictionaries that are not the sample.
# Installed copies keep the build's file times, so a later time means a later
# tenmari-jisho run.
#
# Set by the caller: TENMARI_JISHO_FROM (the build's Jisho folder),
# TENMARI_JISHO_TO (the installed one, with DESTDIR), TENMARI_SAMPLE (the
# sample's KEN_ALL.CSV; Zenkoku.csv is its bytes unchanged).

set(_from "${TENMARI_JISHO_FROM}")
set(_to "${TENMARI_JISHO_TO}")
if(NOT EXISTS "${_from}/Zenkoku.csv")
  message(STATUS "No dictionaries prepared in ${_from}; ${_to} is left as it is")
  return()
endif()

function(_tenmari_same a b out)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${a}" "${b}"
    RESULT_VARIABLE _differ OUTPUT_QUIET ERROR_QUIET)
  if(_differ EQUAL 0)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

if(EXISTS "${_to}/Zenkoku.csv")
  _tenmari_same("${_from}/Zenkoku.csv" "${_to}/Zenkoku.csv" _same)
  if(NOT _same)
    _tenmari_same("${_from}/Zenkoku.csv" "${TENMARI_SAMPLE}" _from_sample)
    _tenmari_same("${_to}/Zenkoku.csv" "${TENMARI_SAMPLE}" _to_sample)
    file(TIMESTAMP "${_from}/Zenkoku.csv" _from_time "%s" UTC)
    file(TIMESTAMP "${_to}/Zenkoku.csv" _to_time "%s" UTC)
    if(NOT _to_sample AND (_from_sample OR _to_time GREATER _from_time))
      if(_from_sample)
        set(_why "the build's are the sample")
      else()
        set(_why "they were built after the build's")
      endif()
      message(STATUS "Keeping the dictionaries in ${_to}: ${_why}. "
                     "Remove that folder to install the build's.")
      return()
    endif()
  endif()
endif()

file(GLOB _files "${_from}/*.csv")
file(INSTALL DESTINATION "${_to}" TYPE FILE FILES ${_files})
