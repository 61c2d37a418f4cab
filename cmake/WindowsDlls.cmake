# The Windows DLLs, for each processor whose mingw-w64 compiler is
# installed: 32-bit (the contract's DLLs) and 64-bit (what a 64-bit VM
# loads). Each is a sub-build with its own toolchain, so that the Linux
# libraries keep the host compiler. For each ARCH built, sets
# VELA_WINDOWS_DLL_DIR_<ARCH> and VELA_WINDOWS_TEST_DIR_<ARCH>, and the
# target windows_dlls_<ARCH>; windows_dlls builds them all.
include(ExternalProject)
set(VELA_WINDOWS_ARCHS)
add_custom_target(windows_dlls)

function(vela_windows_build arch triplet)
  find_program(VELA_MINGW_${arch}_CXX ${triplet}-w64-mingw32-g++-posix)
  if(NOT VELA_MINGW_${arch}_CXX)
    message(STATUS "${triplet}-w64-mingw32-g++-posix not found: no Windows ${arch} DLLs")
    return()
  endif()
  set(dlls ${PROJECT_BINARY_DIR}/lib-windows-${arch})
  set(tests ${PROJECT_BINARY_DIR}/windows-tests-${arch})
  ExternalProject_Add(windows_dlls_${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/windows
    BINARY_DIR ${PROJECT_BINARY_DIR}/windows-${arch}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/windows/mingw.cmake
      -DVELA_MINGW_TRIPLET=${triplet}-w64-mingw32
      -DCMAKE_BUILD_TYPE=Release
      -DVELA_ROOT=${PROJECT_SOURCE_DIR}
      -DVELA_BUILD_ROOT=${PROJECT_BINARY_DIR}
      -DVELA_JNI_INCLUDE=${JAVA_INCLUDE_PATH}
      -DVELA_JNI_HEADERS=${PROJECT_BINARY_DIR}/jni_headers
      -DVELA_OUTPUT_DIR=${dlls}
      -DVELA_WERROR=${VELA_WERROR}
      -DVELA_BUILD_TESTS=${BUILD_TESTING}
      -DVELA_TEST_OUTPUT_DIR=${tests}
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${dlls}/VelaCommPortWindowsParallel.dll ${dlls}/VelaCommPortWindowsUSB.dll
    INSTALL_COMMAND ""
    DEPENDS vela_brevant)
  add_dependencies(windows_dlls windows_dlls_${arch})
  install(FILES ${dlls}/VelaCommPortWindowsParallel.dll ${dlls}/VelaCommPortWindowsUSB.dll
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/windows-${arch})
  set(VELA_WINDOWS_DLL_DIR_${arch} ${dlls} PARENT_SCOPE)
  set(VELA_WINDOWS_TEST_DIR_${arch} ${tests} PARENT_SCOPE)
  set(VELA_WINDOWS_ARCHS ${VELA_WINDOWS_ARCHS} ${arch} PARENT_SCOPE)
endfunction()

vela_windows_build(x86 i686)
vela_windows_build(x86_64 x86_64)
