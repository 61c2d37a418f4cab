# Toolchain of the Linux libraries for another processor: Debian's cross
# compilers named by VELA_CROSS_TRIPLET (aarch64-linux-gnu,
# arm-linux-gnueabihf).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${VELA_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VELA_CROSS_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${VELA_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
