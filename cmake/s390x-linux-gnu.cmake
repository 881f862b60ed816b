# Cross-compiling for big-endian 64-bit IBM Z Linux (Debian package g++-s390x-linux-gnu).
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(QUORVEL_TRIPLET s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
