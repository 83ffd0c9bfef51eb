# CMake toolchain for 64-bit Windows programs built on Debian with its mingw-w64 cross-compiler, the
# POSIX-threads variant (std::thread and std::mutex need it; Qt 6 is built with it too). get-qt.sh
# builds Qt with this file and copies it into the result as mingw64-toolchain.cmake, so the Qt's own
# qt-cmake finds it wherever that folder lies; Tivor itself is configured through qt-cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# Headers and libraries come from the Windows side only; programs (moc, uic, rcc) from the Linux side.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
