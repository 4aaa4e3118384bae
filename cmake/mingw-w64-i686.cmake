# Cross toolchain for the 32-bit Windows program (the one x86 WinPE media carry): the x86_64
# toolchain's settings with the i686 mingw-w64 compilers.
set(TVDE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
