# nlohmann-json and CLI11 are header-only. The native build finds them through
# their CMake packages; a cross build (mingw-w64) must not put the host's
# /usr/include on its path, so it sees only these two folders, through links.
function(tarvin_header_library target package header_dir)
  add_library(${target} INTERFACE)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(${package} QUIET)
  endif()
  if(${package}_FOUND AND TARGET ${ARGN})
    target_link_libraries(${target} INTERFACE ${ARGN})
    return()
  endif()
  find_path(_dir ${header_dir} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT _dir)
    message(FATAL_ERROR "${header_dir} not found: run scripts/deps.sh")
  endif()
  get_filename_component(_top ${header_dir} DIRECTORY)
  set(_links ${CMAKE_BINARY_DIR}/header-links/${target})
  file(MAKE_DIRECTORY ${_links})
  if(NOT EXISTS ${_links}/${_top})
    file(CREATE_LINK ${_dir}/${_top} ${_links}/${_top} SYMBOLIC)
  endif()
  target_include_directories(${target} SYSTEM INTERFACE ${_links})
  unset(_dir CACHE)
endfunction()

tarvin_header_library(tarvin_json nlohmann_json nlohmann/json.hpp nlohmann_json::nlohmann_json)
tarvin_header_library(tarvin_cli11 CLI11 CLI/CLI.hpp CLI11::CLI11)
# Boost's header-only parts: its CRC (the alarm receiver's frames) and Asio
# (the receiver's sockets).
tarvin_header_library(tarvin_boost Boost boost/crc.hpp Boost::headers)
