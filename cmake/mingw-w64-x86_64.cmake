# Cross build for 64-bit Windows with Debian's mingw-w64, posix threads variant
# (std::thread and std::mutex need winpthread). Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(NACRELLE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NACRELLE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NACRELLE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${NACRELLE_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${NACRELLE_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${NACRELLE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime goes into every module and program, so that they
# import only the system's DLLs (and the host's own library).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# Test programs run under Wine: see WineEmulator.cmake.
