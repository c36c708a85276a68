# Cross-build for x64 Windows with Debian's mingw-w64 (posix thread model)
# and run the test programs under Wine:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HUX_MINGW_TRIPLET x86_64-w64-mingw32)
# The -posix compilers: std::thread and std::mutex need the posix thread
# model (winpthreads); the -win32 ones lack them in this GCC.
set(CMAKE_C_COMPILER ${HUX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HUX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${HUX_MINGW_TRIPLET}-windres)

# Libraries, headers and packages come from the target's root only; programs
# (wine, objdump, sh) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${HUX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest (and add_custom_command) run the .exe files through Wine.
find_program(HUX_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HUX_WINE})
