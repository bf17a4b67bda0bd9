# Cross-build for 64-bit Windows with Debian's mingw-w64 compilers (the
# posix-threads flavour: C++11 threads and std::mutex need it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLET}-windres)
set(CMAKE_AR           ${MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       ${MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Headers and libraries of the target come from the mingw sysroot and from
# the prefixes given in CMAKE_PREFIX_PATH (the cross-built ACE and Xerces-C);
# programs (code generators, the test driver) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
