# Shared settings of the JNI libraries we ship: no C++ runtime, only the JNI
# entry points exported, libc as the only system library.
include(${CMAKE_CURRENT_LIST_DIR}/VelaShipped.cmake)

set(VELA_EXPORTS_MAP ${CMAKE_CURRENT_LIST_DIR}/jni_exports.map)

set(VELA_NATIVE_FLAGS -fno-exceptions -fno-rtti -fvisibility=hidden
    -fvisibility-inlines-hidden -fno-threadsafe-statics ${VELA_PREFIX_MAP_FLAGS})

set(VELA_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

# Sanitized builds of the libraries exist only for the tests, and only where
# the toolchain has the sanitizer runtimes.
set(VELA_SANITIZED OFF)
if(BUILD_TESTING)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS "-fsanitize=address,undefined")
  set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=address,undefined")
  check_cxx_source_compiles("int main() { return 0; }" VELA_HAVE_SANITIZERS)
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(VELA_HAVE_SANITIZERS)
    set(VELA_SANITIZED ON)
    # The runtime a JVM must preload to load a sanitized library.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                    OUTPUT_VARIABLE _asan OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(VELA_ASAN_RUNTIME "${_asan}" REALPATH)
  else()
    message(WARNING "No address/undefined sanitizer runtime: sanitized test builds skipped")
  endif()
  # The thread sanitizer: a third build of the Linux libraries, for the
  # threads test, with its runtime preloaded into the JVM.
  set(CMAKE_REQUIRED_FLAGS "-fsanitize=thread")
  set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=thread")
  check_cxx_source_compiles("int main() { return 0; }" VELA_HAVE_TSAN)
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(VELA_HAVE_TSAN)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libtsan.so
                    OUTPUT_VARIABLE _tsan OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(VELA_TSAN_RUNTIME "${_tsan}" REALPATH)
  endif()
endif()

# vela_jni_library(NAME SOURCES...): the shipped library into lib/ (and
# installed), and with the tests the same sources with address and
# undefined behaviour checks into lib-sanitized/, for the JVM to load too.
function(vela_jni_library name)
  add_library(${name} SHARED ${ARGN})
  target_compile_options(${name} PRIVATE ${VELA_WARNINGS} ${VELA_NATIVE_FLAGS} ${VELA_HARDENING_FLAGS})
  target_link_options(${name} PRIVATE -Wl,-z,defs ${VELA_HARDENING_LINK_FLAGS} -static-libgcc)
  set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
  target_link_libraries(${name} PRIVATE vela_core)
  vela_strip_shipped(${name})
  install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  vela_jni_settings(${name})
  if(NOT VELA_SANITIZED)
    return()
  endif()

  add_library(${name}_sanitized SHARED ${ARGN})
  target_compile_options(${name}_sanitized PRIVATE ${VELA_WARNINGS} ${VELA_NATIVE_FLAGS}
                         ${VELA_SANITIZE_FLAGS})
  target_link_options(${name}_sanitized PRIVATE -fsanitize=address,undefined)
  target_link_libraries(${name}_sanitized PRIVATE vela_core_sanitized)
  set_target_properties(${name}_sanitized PROPERTIES
    OUTPUT_NAME ${name} LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib-sanitized)
  vela_jni_settings(${name}_sanitized)
  if(NOT VELA_HAVE_TSAN)
    return()
  endif()

  add_library(${name}_tsan SHARED ${ARGN} ${VELA_CORE_SOURCES} ${VELA_POSIX_SOURCES})
  target_compile_options(${name}_tsan PRIVATE ${VELA_WARNINGS} ${VELA_NATIVE_FLAGS}
                         -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(${name}_tsan PRIVATE -fsanitize=thread)
  target_include_directories(${name}_tsan PRIVATE ${PROJECT_SOURCE_DIR}/core ${JNI_INCLUDE_DIRS})
  set_target_properties(${name}_tsan PROPERTIES
    OUTPUT_NAME ${name} LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib-tsan)
  vela_jni_settings(${name}_tsan)
endfunction()

# What both variants share: the JNI headers, their own folder, only the
# entry points exported.
function(vela_jni_settings target)
  target_link_libraries(${target} PRIVATE vela_brevant_headers)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_options(${target} PRIVATE -Wl,--version-script=${VELA_EXPORTS_MAP}
                      -Wl,--as-needed)
  set_target_properties(${target} PROPERTIES LINK_DEPENDS ${VELA_EXPORTS_MAP})
endfunction()

# The variants of a library that this build makes.
function(vela_jni_variants name out)
  set(variants ${name})
  if(VELA_SANITIZED)
    list(APPEND variants ${name}_sanitized)
  endif()
  if(VELA_SANITIZED AND VELA_HAVE_TSAN)
    list(APPEND variants ${name}_tsan)
  endif()
  set(${out} ${variants} PARENT_SCOPE)
endfunction()

# vela_jni_target_link(NAME LIBS...): link every variant of a library.
function(vela_jni_target_link name)
  vela_jni_variants(${name} variants)
  foreach(t ${variants})
    target_link_libraries(${t} PRIVATE ${ARGN})
  endforeach()
endfunction()

# vela_jni_target_include(NAME DIRS...): a dependency's headers, as system headers.
function(vela_jni_target_include name)
  vela_jni_variants(${name} variants)
  foreach(t ${variants})
    target_include_directories(${t} SYSTEM PRIVATE ${ARGN})
  endforeach()
endfunction()

# vela_sanitized(TARGET): address and undefined behaviour checks, aborting
# at the first finding.
function(vela_sanitized target)
  target_compile_options(${target} PRIVATE ${VELA_SANITIZE_FLAGS})
  target_link_options(${target} PRIVATE -fsanitize=address,undefined)
endfunction()
