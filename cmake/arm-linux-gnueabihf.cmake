# Cross-compiling for 32-bit ARM Linux, hard float (Debian package g++-arm-linux-gnueabihf).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(QUORVEL_TRIPLET arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
# GCC notes, at every std::map of 64-bit values, that GCC 7.1 changed how
# they are passed; nothing here links with code that old.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
