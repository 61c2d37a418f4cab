# How the native libraries we ship are built, on every toolchain (the main
# build, the Linux cross and Windows sub-builds, the macOS build): no
# folder of the build machine in their bytes, so that two checkouts build
# the same library, and stripped, with the debugging information kept
# beside each as NAME.debug. The sub-builds pass VELA_ROOT (the sources) and
# VELA_BUILD_ROOT (the main build folder).
if(NOT VELA_ROOT)
  set(VELA_ROOT ${PROJECT_SOURCE_DIR})
endif()
if(NOT VELA_BUILD_ROOT)
  set(VELA_BUILD_ROOT ${PROJECT_BINARY_DIR})
endif()
# The build folder last: gcc and clang try the last map first, and the
# build folder often lies inside the sources.
set(VELA_PREFIX_MAP_FLAGS -ffile-prefix-map=${VELA_ROOT}=. -ffile-prefix-map=${VELA_BUILD_ROOT}=build)

# Debian's hardening of the Linux libraries; every fortified function and
# the stack protector's check date from glibc 2.17 or before, which
# tests/shipped checks on every build.
set(VELA_HARDENING_FLAGS -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
set(VELA_HARDENING_LINK_FLAGS -Wl,-z,relro -Wl,-z,now)

# vela_strip_shipped(TARGET): once linked, its debugging information goes to
# FILE.debug (which the stripped file names) and the file is stripped.
function(vela_strip_shipped target)
  if(NOT CMAKE_OBJCOPY OR NOT CMAKE_STRIP)
    message(FATAL_ERROR "objcopy or strip for ${CMAKE_CXX_COMPILER} not found: cannot ship ${target}")
  endif()
  set(file $<TARGET_FILE:${target}>)
  # Rewriting a DLL stamps it with the time unless told a date, as the
  # linker is (--no-insert-timestamp: 0).
  set(tool ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${tool} ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${tool} ${CMAKE_STRIP} --strip-unneeded ${file}
    COMMAND ${tool} ${CMAKE_OBJCOPY} --add-gnu-debuglink=${file}.debug ${file}
    VERBATIM)
endfunction()
