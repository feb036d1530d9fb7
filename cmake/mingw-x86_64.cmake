# The same cross build for 64-bit Windows. Used to run the Windows suites under wine64 on
# hosts whose kernel cannot execute 32-bit programs (and so cannot start 32-bit Wine).
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
