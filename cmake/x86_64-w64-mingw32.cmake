# Cross build of the same programs and Windows tests for x86_64, used on
# machines whose kernel runs no 32-bit code. Its tests run under the 64-bit
# Wine loader, called directly, since /usr/bin/wine picks the 32-bit one
# whenever it is installed.
set(mingw_processor x86_64)
set(mingw_emulator /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
