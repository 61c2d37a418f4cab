# Toolchain of the Windows DLLs and their tests: Debian's mingw-w64
# compilers for VELA_MINGW_TRIPLET (i686-w64-mingw32, x86_64-w64-mingw32),
# in the posix thread model that GoogleTest needs (linked statically, so
# that nothing needs their runtime DLLs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VELA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELA_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELA_MINGW_TRIPLET)
