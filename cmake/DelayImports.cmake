# kvt_delay_import_library(<dll>)
# Makes the library kvt_delay_<dll>: the system DLL <dll> imported so that it is
# loaded on the first call of one of its functions instead of when the program
# starts. Linked in place of <dll>'s own import library.
#
# Why: every DLL a Windows program imports is loaded, with what it imports in
# turn, before its first line runs. The launcher's winsock, certificate, random
# number and image-help calls all come after the game has started (telemetry)
# or only in the configure tool (signature removal), but loading them at start
# delayed every game: under Wine crypt32 alone brings user32 and gdi32.
#
# GNU ld has no --delayload; binutils' dlltool writes the same kind of library
# from a module definition (--output-delaylib), and the mingw-w64 runtime links
# the helper that binds a function on its first call. The definition lists the
# DLL's functions as the toolchain's own import library names them, so any
# function the code uses is covered. Only functions can be delay-loaded: a
# data import would bind to the helper's thunk, so none of these DLLs' data may
# be used.
function(kvt_delay_import_library dll)
  set(_target kvt_delay_${dll})
  if(TARGET ${_target})
    return()
  endif()
  if(NOT CMAKE_DLLTOOL OR NOT CMAKE_NM)
    message(FATAL_ERROR "Delay-loaded imports need dlltool and nm of the mingw-w64 binutils "
      "(CMAKE_DLLTOOL='${CMAKE_DLLTOOL}', CMAKE_NM='${CMAKE_NM}')")
  endif()
  find_library(KVT_IMPORT_LIBRARY_${dll} NAMES ${dll} NO_CACHE)
  set(_import ${KVT_IMPORT_LIBRARY_${dll}})
  if(NOT _import)
    message(FATAL_ERROR "No import library for ${dll}.dll in the mingw-w64 toolchain")
  endif()

  execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${_import}
    OUTPUT_VARIABLE _symbols RESULT_VARIABLE _status ERROR_QUIET)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "${CMAKE_NM} could not read ${_import}")
  endif()
  string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" _imports "${_symbols}")
  list(REMOVE_DUPLICATES _imports)
  list(SORT _imports)
  list(TRANSFORM _imports REPLACE "^__imp_" "")
  list(LENGTH _imports _count)
  if(_count EQUAL 0)
    message(FATAL_ERROR "${_import} names no functions of ${dll}.dll")
  endif()
  list(JOIN _imports "\n  " _exports)

  set(_dir ${CMAKE_BINARY_DIR}/delay-imports)
  set(_def ${_dir}/${dll}.def)
  set(_library ${_dir}/lib${dll}_delay.a)
  file(CONFIGURE OUTPUT ${_def} CONTENT "LIBRARY ${dll}.dll\nEXPORTS\n  ${_exports}\n")
  # Made again only when the definition changed (a new toolchain's import library).
  if(NOT EXISTS ${_library} OR ${_def} IS_NEWER_THAN ${_library})
    execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${_def} --output-delaylib ${_library}
      RESULT_VARIABLE _status ERROR_VARIABLE _errors)
    if(NOT _status EQUAL 0)
      file(REMOVE ${_library})
      message(FATAL_ERROR "${CMAKE_DLLTOOL} could not write the delay-import library of ${dll}.dll: ${_errors}")
    endif()
  endif()
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_import})

  add_library(${_target} STATIC IMPORTED GLOBAL)
  set_target_properties(${_target} PROPERTIES IMPORTED_LOCATION ${_library})
endfunction()
