# vela-brevant.jar, the one jar a till needs: the port classes and every
# native library this build made, under natives/<os>-<processor>/ (macOS:
# natives/macos/, one universal library), which the classes load when the
# library is not on java.library.path.
set(_entries)
set(_depends)
if(APPLE)
  list(APPEND _entries "macos=$<TARGET_FILE:VelaCommPortMacUSB>")
  list(APPEND _depends VelaCommPortMacUSB)
else()
  foreach(transport Serial Parallel USB)
    list(APPEND _entries "linux-${CMAKE_SYSTEM_PROCESSOR}=$<TARGET_FILE:VelaCommPortLinux${transport}>")
    list(APPEND _depends VelaCommPortLinux${transport})
  endforeach()
  foreach(arch IN LISTS VELA_LINUX_CROSS_ARCHS)
    foreach(transport Serial Parallel USB)
      list(APPEND _entries
           "linux-${arch}=${PROJECT_BINARY_DIR}/linux-${arch}/lib/libVelaCommPortLinux${transport}.so")
    endforeach()
    list(APPEND _depends linux_libs_${arch})
  endforeach()
  foreach(arch IN LISTS VELA_WINDOWS_ARCHS)
    foreach(transport Parallel USB)
      list(APPEND _entries
           "windows-${arch}=${VELA_WINDOWS_DLL_DIR_${arch}}/VelaCommPortWindows${transport}.dll")
    endforeach()
    list(APPEND _depends windows_dlls_${arch})
  endforeach()
  if(VELA_MACOS_LIBRARY)
    list(APPEND _entries "macos=${VELA_MACOS_LIBRARY}")
    list(APPEND _depends VelaCommPortMacUSB_macos)
  endif()
endif()

get_target_property(_classes vela_brevant JAR_FILE)
set(VELA_NATIVES_JAR ${PROJECT_BINARY_DIR}/vela-brevant.jar)
# One platform=library per line; written at generate time, when the
# libraries' paths are known.
string(REPLACE ";" "\n" _lines "${_entries}")
# The files too, so that a library rebuilt by a sub-build is packed again.
set(_files)
foreach(entry IN LISTS _entries)
  string(REGEX REPLACE "^[^=]*=" "" file "${entry}")
  list(APPEND _files "${file}")
endforeach()
set(_list ${PROJECT_BINARY_DIR}/natives-jar-entries.txt)
file(GENERATE OUTPUT ${_list} CONTENT "${_lines}\n")
add_custom_command(OUTPUT ${VELA_NATIVES_JAR}
  COMMAND ${CMAKE_COMMAND} -DCLASSES_JAR=${_classes} -DOUT=${VELA_NATIVES_JAR}
          -DSTAGE=${PROJECT_BINARY_DIR}/natives-stage -DJAR_TOOL=${Java_JAR_EXECUTABLE}
          -DENTRIES=${_list} -P ${PROJECT_SOURCE_DIR}/cmake/natives_jar.cmake
  DEPENDS vela_brevant ${_classes} ${_depends} ${_files} ${_list}
          ${PROJECT_SOURCE_DIR}/cmake/natives_jar.cmake
  COMMENT "Packing vela-brevant.jar with its native libraries"
  VERBATIM)
add_custom_target(vela_brevant_jar ALL DEPENDS ${VELA_NATIVES_JAR})
install(FILES ${VELA_NATIVES_JAR} DESTINATION ${CMAKE_INSTALL_DATADIR}/java)
