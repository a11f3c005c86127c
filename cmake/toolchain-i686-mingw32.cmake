# Cross build for 32-bit Windows: the DLL the host loads.
set(mingw_prefix i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
# Test programs are run by Wine's 32-bit loader, named directly: where
# wine64 is installed too, the `wine` script's choice is not ours.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
