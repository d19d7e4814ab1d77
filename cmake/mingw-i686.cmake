# The program: 32-bit Windows (PE32, i386) with mingw-w64, posix thread model
# (GoogleTest needs std::mutex; with -static only system DLLs are imported).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The tests and doubles run under Wine: the 64-bit loader hands a PE32 file to
# the 32-bit one, which runs through QEMU's user-mode emulator on machines
# whose kernel executes 64-bit code only (tools/setup).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/bench/wine-run)
