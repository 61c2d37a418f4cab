# Shared settings of the JNI libraries we ship: no C++ runtime, only the JNI
# entry points exported, libc as the only system library.

set(VELA_NATIVE_FLAGS -fno-exceptions -fno-rtti -fvisibility=hidden
    -fvisibility-inlines-hidden -fno-threadsafe-statics)

set(VELA_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

# The sanitizer runtime a JVM must preload to load a sanitized library.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                OUTPUT_VARIABLE _asan OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(VELA_ASAN_RUNTIME "${_asan}" REALPATH)

# vela_jni_library(NAME SOURCES...): the shipped library into lib/, and the
# same sources with address and undefined behaviour checks into
# lib-sanitized/, for the JVM tests to load as well.
function(vela_jni_library name)
  add_library(${name} SHARED ${ARGN})
  target_compile_options(${name} PRIVATE ${VELA_WARNINGS} ${VELA_NATIVE_FLAGS})
  target_link_options(${name} PRIVATE -Wl,-z,defs -Wl,-z,now -static-libgcc)
  set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
  target_link_libraries(${name} PRIVATE vela_core)

  add_library(${name}_sanitized SHARED ${ARGN})
  target_compile_options(${name}_sanitized PRIVATE ${VELA_WARNINGS} ${VELA_NATIVE_FLAGS}
                         ${VELA_SANITIZE_FLAGS})
  target_link_options(${name}_sanitized PRIVATE -fsanitize=address,undefined)
  target_link_libraries(${name}_sanitized PRIVATE vela_core_sanitized)
  set_target_properties(${name}_sanitized PROPERTIES
    OUTPUT_NAME ${name} LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib-sanitized)

  foreach(t ${name} ${name}_sanitized)
    target_link_libraries(${t} PRIVATE vela_brevant_headers)
    target_include_directories(${t} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_options(${t} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/jni_exports.map
                        -Wl,--as-needed)
    set_target_properties(${t} PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/jni_exports.map)
  endforeach()
endfunction()

# vela_jni_target_link(NAME LIBS...): link both variants of a library.
function(vela_jni_target_link name)
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_link_libraries(${name}_sanitized PRIVATE ${ARGN})
endfunction()

function(vela_jni_target_include name)
  target_include_directories(${name} PRIVATE ${ARGN})
  target_include_directories(${name}_sanitized PRIVATE ${ARGN})
endfunction()

# vela_sanitized(TARGET): address and undefined behaviour checks, aborting
# at the first finding.
function(vela_sanitized target)
  target_compile_options(${target} PRIVATE ${VELA_SANITIZE_FLAGS})
  target_link_options(${target} PRIVATE -fsanitize=address,undefined)
endfunction()
