# The macOS library as a real Mac binary, built on Linux whenever Debian's
# clang, lld and llvm are installed: arm64 for macOS 11 and later, x86_64
# for macOS 10.13 and later, joined into one universal
# lib-macos/libVelaCommPortMacUSB.jnilib. There is no SDK here, and none may
# be shipped: the sources compile against cmake/macos/include (stand-ins of
# Apple's framework headers: declarations of what the library uses),
# cmake/macos/libc (the few C library declarations) and clang's own
# freestanding headers, and link against cmake/macos/stubs (text-based
# stubs under the real install names).
# All three live under cmake/, not tests/, because the shipped binary is
# built from them; the tests against the simulated IOKit use the same
# framework headers.
# lld signs the arm64 slice ad hoc, which macOS requires of arm64 code.
# Sets VELA_MACOS_LIBRARY (empty when the tools are missing), the target
# VelaCommPortMacUSB_macos, and for the tests the tools (VELA_MACOS_CXX,
# _LD, _LIPO, _OBJDUMP, _NM), the targets (VELA_MACOS_TARGETS) and the
# header search flags (VELA_MACOS_INCLUDES).
set(VELA_MACOS_LIBRARY "")
foreach(tool CXX:clang++ LD:ld64.lld LIPO:llvm-lipo OBJDUMP:llvm-objdump NM:llvm-nm)
  string(REPLACE ":" ";" tool ${tool})
  list(GET tool 0 var)
  list(GET tool 1 name)
  find_program(VELA_MACOS_${var} NAMES ${name} ${name}-16 ${name}-15 ${name}-14)
  if(NOT VELA_MACOS_${var})
    message(STATUS "${name} not found (Debian packages clang, lld, llvm): no macOS library")
    return()
  endif()
endforeach()

execute_process(COMMAND ${VELA_MACOS_CXX} -print-resource-dir
                OUTPUT_VARIABLE _resource OUTPUT_STRIP_TRAILING_WHITESPACE)
set(_macos ${PROJECT_SOURCE_DIR}/cmake/macos)
set(_out ${PROJECT_BINARY_DIR}/macos)
set(_stubs ${_macos}/stubs/libSystem.tbd ${_macos}/stubs/IOKit.tbd
    ${_macos}/stubs/CoreFoundation.tbd)
set(_header ${PROJECT_BINARY_DIR}/jni_headers/com_kelvora_brevant_VelaCommPortMacUSB.h)
# Nothing of the host's: clang's freestanding headers, then ours. The
# JDK's Linux jni_md.h has the same types as the Mac's on 64-bit.
set(VELA_MACOS_INCLUDES -nostdinc -nostdinc++ -isystem ${_resource}/include
    -isystem ${_macos}/libc -isystem ${_macos}/include)
set(VELA_MACOS_TARGETS arm64-apple-macos11 x86_64-apple-macos10.13)
set(_flags -std=c++17 -O2 ${VELA_MACOS_INCLUDES} -I${PROJECT_SOURCE_DIR}/mac_usb -I${PROJECT_SOURCE_DIR}/core -I${PROJECT_SOURCE_DIR}/linux_usb
    -I${PROJECT_BINARY_DIR}/jni_headers -I${JAVA_INCLUDE_PATH} -I${JAVA_INCLUDE_PATH2}
    ${VELA_WARNINGS} ${VELA_NATIVE_FLAGS})

set(_slices)
foreach(target IN LISTS VELA_MACOS_TARGETS)
  string(REGEX MATCH "^[^-]+" arch ${target})
  string(REGEX REPLACE "^.*macos" "" minos ${target})
  if(NOT minos MATCHES "[.]")
    set(minos ${minos}.0)
  endif()
  file(MAKE_DIRECTORY ${_out}/${arch})
  set(objects)
  foreach(source IN LISTS VELA_MAC_USB_SOURCES VELA_CORE_SOURCES)
    get_filename_component(name ${source} NAME_WE)
    set(object ${_out}/${arch}/${name}.o)
    add_custom_command(OUTPUT ${object}
      COMMAND ${VELA_MACOS_CXX} -target ${target} ${_flags} -MD -MF ${object}.d
              -c ${source} -o ${object}
      DEPFILE ${object}.d
      DEPENDS ${source} ${_header} vela_brevant
      COMMENT "Compiling ${name} for ${target}"
      VERBATIM)
    list(APPEND objects ${object})
  endforeach()
  set(dylib ${_out}/${arch}/libVelaCommPortMacUSB.jnilib)
  add_custom_command(OUTPUT ${dylib}
    COMMAND ${VELA_MACOS_LD} -dylib -arch ${arch} -platform_version macos ${minos} ${minos}
            -install_name libVelaCommPortMacUSB.jnilib
            -exported_symbol _Java_com_kelvora_brevant_* -dead_strip
            -o ${dylib} ${objects} ${_stubs}
    DEPENDS ${objects} ${_stubs}
    COMMENT "Linking the macOS library for ${arch}"
    VERBATIM)
  list(APPEND _slices ${dylib})
endforeach()

set(VELA_MACOS_LIBRARY ${PROJECT_BINARY_DIR}/lib-macos/libVelaCommPortMacUSB.jnilib)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/lib-macos)
add_custom_command(OUTPUT ${VELA_MACOS_LIBRARY}
  COMMAND ${VELA_MACOS_LIPO} -create ${_slices} -output ${VELA_MACOS_LIBRARY}
  DEPENDS ${_slices}
  COMMENT "Joining the macOS library into one universal file"
  VERBATIM)
add_custom_target(VelaCommPortMacUSB_macos ALL DEPENDS ${VELA_MACOS_LIBRARY})
install(FILES ${VELA_MACOS_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR}/macos)
