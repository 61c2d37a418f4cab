# Debian packages for Linux tills: the jar's (build/packages/
# libvela-brevant-java_VERSION_all.deb, VELA_DEB_JAVA) and the native
# libraries' of each processor this build made them for
# (libvela-brevant-jni_VERSION_ARCH.deb: VELA_DEB_ARCHS, VELA_DEB_<arch>),
# and vela-brevant.pom beside the jar for Maven and Gradle. The target debs
# builds them.
set(VELA_PACKAGE_MAINTAINER "Vela till packaging <tills@example.org>" CACHE STRING
    "Maintainer field of the Debian packages")
configure_file(${PROJECT_SOURCE_DIR}/packaging/vela-brevant.pom.in
               ${PROJECT_BINARY_DIR}/vela-brevant.pom @ONLY)

set(VELA_DEB_ARCHS)
set(_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(_debs)
set(_common ${_packaging}/build_deb.sh ${_packaging}/copyright)
function(vela_deb deb_arch strip)
  if(NOT _multiarch_${deb_arch})
    message(STATUS "no multiarch folder known for ${deb_arch}: no ${deb_arch} Debian package")
    return()
  endif()
  set(deb ${PROJECT_BINARY_DIR}/packages/libvela-brevant-jni_${PROJECT_VERSION}_${deb_arch}.deb)
  add_custom_command(OUTPUT ${deb}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packages
    COMMAND sh ${_packaging}/build_deb.sh jni ${deb} ${PROJECT_VERSION} ${VELA_RELEASE_DATE} ${VELA_PACKAGE_MAINTAINER}
            ${deb_arch} ${_multiarch_${deb_arch}} ${VELA_GLIBC_BASELINE} ${strip}
            ${_packaging}/60-vela-brevant.rules ${ARGN}
    DEPENDS ${ARGN} ${_common} ${_packaging}/60-vela-brevant.rules ${_packaging}/udev-retrigger.sh
            ${_packaging}/com.kelvora.brevant.metainfo.xml
    COMMENT "Packing the ${deb_arch} Debian package of the native libraries"
    VERBATIM)
  set(_debs ${_debs} ${deb} PARENT_SCOPE)
  set(VELA_DEB_${deb_arch} ${deb} PARENT_SCOPE)
  set(VELA_DEB_ARCHS ${VELA_DEB_ARCHS} ${deb_arch} PARENT_SCOPE)
endfunction()

# Debian's names for the processors, and its multiarch folder names for
# them (those of dpkg-architecture, which comes only with dpkg-dev).
set(_deb_x86_64 amd64)
set(_deb_aarch64 arm64)
set(_deb_armhf armhf)
set(_deb_armv7l armhf)
set(_multiarch_amd64 x86_64-linux-gnu)
set(_multiarch_arm64 aarch64-linux-gnu)
set(_multiarch_armhf arm-linux-gnueabihf)
set(_multiarch_i386 i386-linux-gnu)

set(VELA_HOST_DEB_ARCH ${_deb_${CMAKE_SYSTEM_PROCESSOR}})
find_program(VELA_DPKG_DEB dpkg-deb)
if(NOT VELA_DPKG_DEB OR NOT VELA_HOST_DEB_ARCH)
  message(STATUS "dpkg-deb missing or ${CMAKE_SYSTEM_PROCESSOR} unknown to Debian: no Debian packages")
  return()
endif()
set(_libs)
foreach(transport Serial Parallel USB)
  list(APPEND _libs $<TARGET_FILE:VelaCommPortLinux${transport}>)
endforeach()
vela_deb(${VELA_HOST_DEB_ARCH} ${CMAKE_STRIP} ${_libs})
foreach(arch IN LISTS VELA_LINUX_CROSS_ARCHS)
  find_program(VELA_STRIP_${arch} ${VELA_LINUX_CROSS_TRIPLET_${arch}}-strip)
  if(NOT VELA_STRIP_${arch})
    message(STATUS "${VELA_LINUX_CROSS_TRIPLET_${arch}}-strip missing: no ${_deb_${arch}} Debian package")
    continue()
  endif()
  set(_libs)
  foreach(transport Serial Parallel USB)
    list(APPEND _libs ${PROJECT_BINARY_DIR}/linux-${arch}/lib/libVelaCommPortLinux${transport}.so)
  endforeach()
  vela_deb(${_deb_${arch}} ${VELA_STRIP_${arch}} ${_libs})
endforeach()
set(VELA_DEB_JAVA ${PROJECT_BINARY_DIR}/packages/libvela-brevant-java_${PROJECT_VERSION}_all.deb)
add_custom_command(OUTPUT ${VELA_DEB_JAVA}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packages
  COMMAND sh ${_packaging}/build_deb.sh java ${VELA_DEB_JAVA} ${PROJECT_VERSION} ${VELA_RELEASE_DATE}
          ${VELA_PACKAGE_MAINTAINER}
          ${VELA_NATIVES_JAR}
  DEPENDS ${VELA_NATIVES_JAR} vela_brevant_jar ${_common}
  COMMENT "Packing the Debian package of the jar"
  VERBATIM)
add_custom_target(debs ALL DEPENDS ${VELA_DEB_JAVA} ${_debs})
