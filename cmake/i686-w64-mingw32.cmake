# Cross build of the shipped 32-bit Windows programs with MinGW-w64. Tests
# built this way run under the 32-bit Wine loader.
set(mingw_processor i686)
set(mingw_emulator wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
