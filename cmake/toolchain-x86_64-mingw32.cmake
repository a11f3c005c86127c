# Cross build for 64-bit Windows of the same sources, for machines whose
# Wine can only run 64-bit programs (see scripts/test-windows).
set(mingw_prefix x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
# Test programs are run by Wine's 64-bit loader, named directly: the `wine`
# script prefers the 32-bit one wherever it is installed.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
