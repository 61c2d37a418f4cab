# Debian packages for Linux tills, one per processor this build made the
# Linux libraries for (build/packages/libvela-brevant-java_VERSION_ARCH.deb),
# and vela-brevant.pom beside the jar for Maven and Gradle. Sets
# VELA_DEB_ARCHS and VELA_DEB_<arch> (the file); the target debs builds them.
set(VELA_PACKAGE_MAINTAINER "Vela till packaging <tills@example.org>" CACHE STRING
    "Maintainer field of the Debian packages")
configure_file(${PROJECT_SOURCE_DIR}/packaging/vela-brevant.pom.in
               ${PROJECT_BINARY_DIR}/vela-brevant.pom @ONLY)

set(VELA_DEB_ARCHS)
set(_debs)
set(_packaging ${PROJECT_SOURCE_DIR}/packaging)
function(vela_deb deb_arch strip)
  set(deb ${PROJECT_BINARY_DIR}/packages/libvela-brevant-java_${PROJECT_VERSION}_${deb_arch}.deb)
  add_custom_command(OUTPUT ${deb}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packages
    COMMAND sh ${_packaging}/build_deb.sh ${deb} ${PROJECT_VERSION} ${deb_arch}
            ${VELA_GLIBC_BASELINE} ${VELA_PACKAGE_MAINTAINER} ${strip} ${VELA_NATIVES_JAR}
            ${_packaging}/60-vela-brevant.rules ${ARGN}
    DEPENDS ${ARGN} ${VELA_NATIVES_JAR} vela_brevant_jar ${_packaging}/build_deb.sh
            ${_packaging}/60-vela-brevant.rules ${_packaging}/copyright
            ${_packaging}/com.kelvora.brevant.metainfo.xml ${_packaging}/lintian-overrides
    COMMENT "Packing ${deb_arch} Debian package"
    VERBATIM)
  set(_debs ${_debs} ${deb} PARENT_SCOPE)
  set(VELA_DEB_${deb_arch} ${deb} PARENT_SCOPE)
  set(VELA_DEB_ARCHS ${VELA_DEB_ARCHS} ${deb_arch} PARENT_SCOPE)
endfunction()

# Debian's names for the processors.
set(_deb_x86_64 amd64)
set(_deb_aarch64 arm64)
set(_deb_armhf armhf)
set(_deb_armv7l armhf)
set(_deb_x86 i386)

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
add_custom_target(debs ALL DEPENDS ${_debs})
