# The base layer: the logger, FormatString, console output, UTF-8 and the
# system-error logger (the scoped handles are headers). It uses nothing else
# of ours, so the fuzz project builds the real one from this same list.
set(_kvt_root ${CMAKE_CURRENT_LIST_DIR}/..)
add_library(kvt_base STATIC
  ${_kvt_root}/app/Log.cpp
  ${_kvt_root}/app/FormatString.cpp
  ${_kvt_root}/app/ConsoleOutput.cpp
  ${_kvt_root}/platform/Utf8.cpp
  ${_kvt_root}/platform/SystemErrorLog.cpp
)
if(WIN32)
  target_sources(kvt_base PRIVATE ${_kvt_root}/platform/windows/WindowsSystemError.cpp)
else()
  target_sources(kvt_base PRIVATE ${_kvt_root}/platform/linux/LinuxSystemError.cpp)
endif()
target_include_directories(kvt_base PUBLIC ${_kvt_root})
