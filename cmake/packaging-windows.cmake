# The Windows installer (NSIS) and a portable .zip of the same files, made on
# Debian by CPack with makensis. Layout below the install folder:
#   bin\        the programs, the Qt and MinGW DLLs they import, platforms\, styles\
#   share\tarvin9\              the status pictures, translations\qtbase_ru.qm
# the same relative places the Linux package uses, so the window finds its
# pictures and Qt's Russian texts the same way on both.
install(FILES assets/ok.jpg assets/no_con.jpeg assets/smile.jpg DESTINATION share/tarvin9)

# Qt loads these itself, so no executable imports them: named here.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
set(tarvin_qt_plugins)
foreach(plugin Qt6::QWindowsIntegrationPlugin Qt6::QWindowsVistaStylePlugin)
  if(TARGET ${plugin})
    get_target_property(location ${plugin} IMPORTED_LOCATION_RELEASE)
    if(NOT location)
      get_target_property(location ${plugin} IMPORTED_LOCATION)
    endif()
    get_filename_component(kind ${location} DIRECTORY)
    get_filename_component(kind ${kind} NAME)
    install(FILES ${location} DESTINATION bin/${kind})
    list(APPEND tarvin_qt_plugins ${location})
  endif()
endforeach()
if(NOT tarvin_qt_plugins)
  message(FATAL_ERROR "Qt's windows platform plugin not found in ${TARVIN_WIN_PREFIX}")
endif()

# The DLLs come from the executables' and plugins' PE import tables (objdump),
# followed through every DLL found, never from a list kept by hand. Those not
# found in the Qt or MQTT prefixes or MinGW's runtime folders are Windows' own.
# CMake looks a Windows import up in lower case, as Windows would; on Debian's
# file system the names keep their case, so the folders are seen through links
# in lower case, and each DLL is installed under its own name.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE tarvin_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(tarvin_gcc_runtime ${tarvin_libstdcxx} DIRECTORY)
find_program(TARVIN_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
set(tarvin_dll_dirs ${TARVIN_WIN_PREFIX}/bin ${tarvin_gcc_runtime} /usr/x86_64-w64-mingw32/lib)
# libmosquitto and OpenSSL, when the recorder publishes, from their own cache.
if(TARVIN_MQTT_PREFIX)
  list(APPEND tarvin_dll_dirs ${TARVIN_MQTT_PREFIX}/bin)
endif()
set(tarvin_dll_links ${CMAKE_BINARY_DIR}/dll-lower-case)
install(CODE "
  file(REMOVE_RECURSE \"${tarvin_dll_links}\")
  file(MAKE_DIRECTORY \"${tarvin_dll_links}\")
  foreach(dir ${tarvin_dll_dirs})
    file(GLOB dlls \"\${dir}/*.dll\")
    foreach(dll \${dlls})
      get_filename_component(name \${dll} NAME)
      string(TOLOWER \${name} lower)
      if(NOT EXISTS \"${tarvin_dll_links}/\${lower}\")
        file(CREATE_LINK \${dll} \"${tarvin_dll_links}/\${lower}\" SYMBOLIC)
      endif()
    endforeach()
  endforeach()
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND \"${TARVIN_OBJDUMP}\")
  file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES $<TARGET_FILE:tarvin9> $<TARGET_FILE:tarvin9-osc> $<TARGET_FILE:tarvin9-recorder>
    LIBRARIES ${tarvin_qt_plugins}
    DIRECTORIES \"${tarvin_dll_links}\"
    PRE_EXCLUDE_REGEXES \"^api-ms-\" \"^ext-ms-\"
    RESOLVED_DEPENDENCIES_VAR found
    UNRESOLVED_DEPENDENCIES_VAR system)
  foreach(dll \${found})
    file(REAL_PATH \${dll} real)
    file(INSTALL \${real} DESTINATION \"\${CMAKE_INSTALL_PREFIX}/bin\")
  endforeach()
  message(STATUS \"Windows' own DLLs, not shipped: \${system}\")
")

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME tarvin9)
set(CPACK_PACKAGE_VENDOR "Тарвин-9")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME tarvin9-${PROJECT_VERSION}-win64)
# The program's own folder and key in plain Latin: a shortcut keeps its
# target also in the system's 8-bit code page, and a Cyrillic folder there
# breaks the Start-menu entry on a system whose code page has no Cyrillic.
# What the operator sees (the menu, the entry, the list of programs) is Russian.
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tarvin-9")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Tarvin-9")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Тарвин-9: программа пользователя датчика")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/packaging/copyright)
set(CPACK_NSIS_DISPLAY_NAME "Тарвин-9")
set(CPACK_NSIS_PACKAGE_NAME "Тарвин-9")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\tarvin9.exe")
# A 64-bit installer for 64-bit programs (it also runs where Windows, or
# Wine, has no 32-bit side), Unicode for the Cyrillic names of the Start-menu
# entry and the folders.
# The recorder's service: its component, page and sc.exe calls.
set(CPACK_NSIS_DEFINES "Target amd64-unicode
!include '${PROJECT_SOURCE_DIR}/packaging/windows/recorder-service.nsh'")
set(CPACK_NSIS_PAGE_COMPONENTS "!insertmacro MUI_PAGE_COMPONENTS
  Page custom RecorderServicePage RecorderServicePageLeave")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "Call SetUpRecorderService")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "Call un.RemoveRecorderService")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# The menu entry starts the window in Documents\Тарвин-9, as --from-menu does.
set(CPACK_NSIS_CREATE_ICONS_EXTRA
  "CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Тарвин-9.lnk' '$INSTDIR\\\\bin\\\\tarvin9.exe' '--from-menu'")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Тарвин-9.lnk'")
# A window that runs holds its files: replacing some of them would leave a
# half-installed program, so the installer stops before it writes anything.
# (CPack passes these lines on unescaped: no double quotes in them.)
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS [[
  StrCpy $1 Tarvin9Window
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w r1) p .r0'
  IntPtrCmp $0 0 tarvin9_not_running
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OK|MB_ICONSTOP `Тарвин-9 сейчас работает. Закройте программу и запустите установку снова.` /SD IDOK
    SetErrorLevel 5
    Quit
  tarvin9_not_running:
  Call StopRecorderServiceForUpdate
]])
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
include(CPack)
