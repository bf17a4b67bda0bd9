# The Windows cross-build's libraries: ACE and Xerces-C as cross-built by
# scripts/windows/build-deps.sh into the prefixes QORRFC_ACE_PREFIX and
# QORRFC_XERCES_PREFIX, and GoogleTest built from Debian's source. They get
# the target names the Linux build has (PkgConfig::ACE, XercesC::XercesC,
# GTest::*), so that the folders' CMake files are the same for both.
set(QORRFC_ACE_PREFIX "" CACHE PATH "Prefix of ACE cross-built for Windows")
set(QORRFC_XERCES_PREFIX "" CACHE PATH "Prefix of Xerces-C cross-built for Windows")
set(QORRFC_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source (Debian: googletest)")

foreach(_lib ${QORRFC_ACE_PREFIX}/lib/libACE.a ${QORRFC_XERCES_PREFIX}/lib/libxerces-c.a)
  if(NOT EXISTS ${_lib})
    message(FATAL_ERROR "${_lib} is missing: run scripts/windows/build-deps.sh first "
                        "(scripts/windows-check.sh does)")
  endif()
endforeach()

# Static ACE: its users must not expect its symbols from a DLL.
add_library(PkgConfig::ACE INTERFACE IMPORTED)
set_target_properties(PkgConfig::ACE PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${QORRFC_ACE_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS ACE_AS_STATIC_LIBS
  INTERFACE_LINK_LIBRARIES
    "${QORRFC_ACE_PREFIX}/lib/libACE.a;ws2_32;mswsock;iphlpapi;netapi32;advapi32;user32;userenv")

add_library(XercesC::XercesC INTERFACE IMPORTED)
set_target_properties(XercesC::XercesC PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${QORRFC_XERCES_PREFIX}/include
  INTERFACE_LINK_LIBRARIES "${QORRFC_XERCES_PREFIX}/lib/libxerces-c.a;ws2_32;advapi32")

# windows.h without the COM headers: their DOMDocument and friends would
# clash with Xerces-C's names.
add_compile_definitions(WIN32_LEAN_AND_MEAN)

# Every program links the compiler's runtime (libstdc++, libgcc,
# winpthread) statically: nothing but the .exe to copy to a server.
add_link_options(-static)

include(CTest)
if(BUILD_TESTING)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QORRFC_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
