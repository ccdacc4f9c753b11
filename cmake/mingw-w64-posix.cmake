# Cross-compiling for 64-bit Windows with Debian's mingw-w64, posix thread model (std::thread and
# std::mutex need it). Use with -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-posix.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KBCONFIG_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KBCONFIG_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KBCONFIG_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KBCONFIG_MINGW_TRIPLET}-windres)

# Libraries and headers of the target come from the mingw sysroot and the given prefixes only.
set(CMAKE_FIND_ROOT_PATH /usr/${KBCONFIG_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The executables run without the compiler's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# Tests and tools run under Wine on the build machine.
find_program(KBCONFIG_WINE NAMES wine wine64)
if(KBCONFIG_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KBCONFIG_WINE})
endif()
