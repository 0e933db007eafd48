# Compiles the files of Data/ into the executable, each under its resource id.
set(ORBA_RESOURCES
  "220 Shader.fx"
  "222 overlay.png"
  "223 interface.png"
  "224 equaliser.png"
  "225 font.png"
  "226 vol_strip.png"
  "227 vol_end.png"
  "228 loading.png"
  "229 pause.png"
  "230 words.png")

set(ORBA_RESOURCE_SOURCE ${CMAKE_BINARY_DIR}/generated/EmbeddedResources.cpp)
set(_deps "")
foreach(_r ${ORBA_RESOURCES})
  string(REPLACE " " ";" _parts "${_r}")
  list(GET _parts 1 _file)
  # A file added later is picked up by the glob below re-running CMake.
  if(EXISTS ${CMAKE_SOURCE_DIR}/Data/${_file})
    list(APPEND _deps ${CMAKE_SOURCE_DIR}/Data/${_file})
  endif()
endforeach()
file(GLOB _data_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/Data/*)
string(REPLACE ";" "|" _list "${ORBA_RESOURCES}")
add_custom_command(
  OUTPUT ${ORBA_RESOURCE_SOURCE}
  COMMAND ${CMAKE_COMMAND} -DDATA_DIR=${CMAKE_SOURCE_DIR}/Data -DOUT=${ORBA_RESOURCE_SOURCE}
          "-DLIST=${_list}" -P ${CMAKE_SOURCE_DIR}/cmake/EmbedResources.cmake
  DEPENDS ${_deps} ${CMAKE_SOURCE_DIR}/cmake/EmbedResources.cmake
  COMMENT "Embedding Data/"
  VERBATIM)
