# Cross-compiling for 32-bit x86 Linux (Debian package g++-i686-linux-gnu).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUORVEL_TRIPLET i686-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
