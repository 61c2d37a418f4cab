# Shared settings of the JNI libraries we ship: no C++ runtime, only the JNI
# entry points exported, libc as the only system library.

set(VELA_NATIVE_FLAGS -fno-exceptions -fno-rtti -fvisibility=hidden
    -fvisibility-inlines-hidden -fno-threadsafe-statics)

# vela_jni_library(NAME SOURCES...)
function(vela_jni_library name)
  add_library(${name} SHARED ${ARGN})
  target_compile_options(${name} PRIVATE ${VELA_WARNINGS} ${VELA_NATIVE_FLAGS})
  target_link_libraries(${name} PRIVATE vela_core vela_brevant_headers)
  target_include_directories(${name} PRIVATE ${JNI_INCLUDE_DIRS})
  target_link_options(${name} PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/jni_exports.map
    -Wl,--as-needed -Wl,-z,defs -Wl,-z,now -static-libgcc)
  set_target_properties(${name} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/jni_exports.map)
endfunction()

# vela_sanitized(TARGET): address and undefined behaviour checks, aborting
# at the first finding.
function(vela_sanitized target)
  target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                         -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(${target} PRIVATE -fsanitize=address,undefined)
endfunction()
