# The 32-bit Windows DLLs, when Debian's mingw-w64 i686 compiler is
# installed: a sub-build with its own toolchain, so that the Linux
# libraries keep the host compiler.
find_program(VELA_MINGW_I686_CXX i686-w64-mingw32-g++)
set(VELA_WINDOWS_DLL_DIR ${PROJECT_BINARY_DIR}/lib-windows-x86)
set(VELA_WINDOWS_TEST_DIR ${PROJECT_BINARY_DIR}/windows-tests)
if(NOT VELA_MINGW_I686_CXX)
  message(STATUS "i686-w64-mingw32-g++ not found: the Windows DLLs are not built")
  return()
endif()
include(ExternalProject)
ExternalProject_Add(windows_dlls
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/windows
  BINARY_DIR ${PROJECT_BINARY_DIR}/windows
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/windows/mingw-i686.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DVELA_ROOT=${PROJECT_SOURCE_DIR}
    -DVELA_JNI_INCLUDE=${JAVA_INCLUDE_PATH}
    -DVELA_JNI_HEADERS=${PROJECT_BINARY_DIR}/jni_headers
    -DVELA_OUTPUT_DIR=${VELA_WINDOWS_DLL_DIR}
    -DVELA_WERROR=${VELA_WERROR}
    -DVELA_BUILD_TESTS=${BUILD_TESTING}
    -DVELA_TEST_OUTPUT_DIR=${VELA_WINDOWS_TEST_DIR}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  DEPENDS vela_brevant)
install(FILES ${VELA_WINDOWS_DLL_DIR}/VelaCommPortWindowsParallel.dll
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/windows-x86)
