# The Linux libraries for the other processors tills run on, wherever
# Debian's cross compiler and the target's libusb-0.1 are installed: each a
# sub-build (cmake/linux_cross) into build/linux-ARCH/lib. Sets
# VELA_LINUX_CROSS_ARCHS and each one's VELA_LINUX_CROSS_TRIPLET_<arch>; the
# target linux_cross_libs builds them all.
include(ExternalProject)
set(VELA_LINUX_CROSS_ARCHS)
# libusb-0.1's header is the same on every processor; alone in a folder of
# its own, so that no other header of the host's comes with it.
configure_file(${LIBUSB_0_1_INCLUDE}/usb.h ${PROJECT_BINARY_DIR}/cross-include/usb.h COPYONLY)
add_custom_target(linux_cross_libs)

# vela_linux_cross(ARCH TRIPLET [MULTIARCH]): MULTIARCH names the target's
# library folder where it differs from the compiler's triplet.
function(vela_linux_cross arch triplet)
  set(multiarch ${triplet})
  if(ARGC GREATER 2)
    set(multiarch ${ARGV2})
  endif()
  find_program(VELA_CROSS_${arch}_CXX ${triplet}-g++)
  set(libusb /usr/lib/${multiarch}/libusb-0.1.so.4)
  if(NOT VELA_CROSS_${arch}_CXX OR NOT EXISTS ${libusb})
    message(STATUS "${triplet}-g++ or ${libusb} missing: no Linux ${arch} libraries")
    return()
  endif()
  ExternalProject_Add(linux_libs_${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/linux_cross
    BINARY_DIR ${PROJECT_BINARY_DIR}/linux-${arch}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/linux_cross/toolchain.cmake
      -DVELA_CROSS_TRIPLET=${triplet}
      -DCMAKE_BUILD_TYPE=Release
      -DVELA_ROOT=${PROJECT_SOURCE_DIR}
      -DVELA_BUILD_ROOT=${PROJECT_BINARY_DIR}
      -DVELA_JNI_INCLUDE=${JAVA_INCLUDE_PATH}
      -DVELA_JNI_HEADERS=${PROJECT_BINARY_DIR}/jni_headers
      -DVELA_WERROR=${VELA_WERROR}
      -DLIBUSB_0_1=${libusb}
      -DLIBUSB_0_1_INCLUDE=${PROJECT_BINARY_DIR}/cross-include
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${PROJECT_BINARY_DIR}/linux-${arch}/lib/libVelaCommPortLinuxSerial.so
                     ${PROJECT_BINARY_DIR}/linux-${arch}/lib/libVelaCommPortLinuxParallel.so
                     ${PROJECT_BINARY_DIR}/linux-${arch}/lib/libVelaCommPortLinuxUSB.so
    INSTALL_COMMAND ""
    DEPENDS vela_brevant)
  add_dependencies(linux_cross_libs linux_libs_${arch})
  set(VELA_LINUX_CROSS_ARCHS ${VELA_LINUX_CROSS_ARCHS} ${arch} PARENT_SCOPE)
  set(VELA_LINUX_CROSS_TRIPLET_${arch} ${triplet} PARENT_SCOPE)
endfunction()

vela_linux_cross(aarch64 aarch64-linux-gnu)
vela_linux_cross(armhf arm-linux-gnueabihf)
vela_linux_cross(x86 i686-linux-gnu i386-linux-gnu)
