# Cross toolchain for the Windows product: x86_64 mingw-w64, posix thread model, static runtime.
# The 32-bit toolchain file sets TVDE_MINGW_ARCH to i686 and includes this one.
if(NOT DEFINED TVDE_MINGW_ARCH)
  set(TVDE_MINGW_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TVDE_MINGW_ARCH})

set(CMAKE_C_COMPILER ${TVDE_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TVDE_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TVDE_MINGW_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TVDE_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# libgcc, libstdc++ and winpthread linked in, so executables import Windows system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test executables run under Wine in a project-local prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
