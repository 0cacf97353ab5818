# The whole kit for Windows, window included: the mingw-w64 toolchain and the
# libraries scripts/windows-qt.sh cross-built into TARVIN_WIN_PREFIX (Qt,
# QCustomPlot, libjpeg), with the host's Qt tools (moc, rcc, uic) of the same
# version. With TARVIN_WIN_PREFIX empty (and TARVIN_GUI off) it builds what
# needs no Qt, so that a build folder can start before Qt for Windows exists
# and take the window once it does, its other objects kept.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARVIN_WIN_PREFIX)
if(TARVIN_WIN_PREFIX)
  if(NOT EXISTS "${TARVIN_WIN_PREFIX}/lib/cmake/Qt6")
    message(FATAL_ERROR "TARVIN_WIN_PREFIX must name the libraries scripts/windows-qt.sh built")
  endif()
  list(APPEND CMAKE_FIND_ROOT_PATH ${TARVIN_WIN_PREFIX})
endif()
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
