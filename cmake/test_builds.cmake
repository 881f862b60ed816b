# The builds of the program that the tests run besides this one: Windows
# (MinGW-w64, run under Wine), the processors of cmake/processors.txt, clang
# with libc++, and the static release programs. Each is one long step that
# nothing else waits for: the test programs compile beside it, not after it.
# Their tests are in cmake/other_builds.cmake.
include(ExternalProject)

# A build of the program from this source tree, configured with `arguments`,
# in the build folder's `name`; part of the whole build, so that the test
# programs' own compiling need not wait for it.
function(quorvel_other_build name)
  ExternalProject_Add(quorvel_${name}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${name}
    CMAKE_ARGS ${ARGN} -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=OFF
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
endfunction()

option(QUORVEL_WINDOWS_TESTS "Also test the Windows build under Wine" ON)
find_program(QUORVEL_MINGW_CXX x86_64-w64-mingw32-g++-posix)
find_program(QUORVEL_WINE wine)
if(QUORVEL_WINDOWS_TESTS AND QUORVEL_MINGW_CXX AND QUORVEL_WINE)
  # Without debug information, which no Windows test reads (addr2line needs an
  # ELF program): the MinGW compiles take a third less time.
  quorvel_other_build(windows -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
                      "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG")
endif()

option(QUORVEL_OTHER_BUILDS "Also test builds for other processors and with clang/libc++" OFF)
if(QUORVEL_OTHER_BUILDS)
  quorvel_other_build(clang -DCMAKE_CXX_COMPILER=clang++ "-DCMAKE_CXX_FLAGS=-stdlib=libc++ -Werror"
                      -DCMAKE_EXE_LINKER_FLAGS=-stdlib=libc++)
  quorvel_processors(rows)
  foreach(row IN LISTS rows)
    quorvel_processor_columns("${row}")
    set(toolchain "")
    if(EXISTS ${PROJECT_SOURCE_DIR}/cmake/${triplet}.cmake)
      set(toolchain -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${triplet}.cmake)
    endif()
    if(NOT qemu STREQUAL "-")
      quorvel_other_build(${name} ${toolchain})
    endif()
    if(release)
      quorvel_other_build(static-${name} ${toolchain} -DQUORVEL_STATIC=ON)
    endif()
  endforeach()
endif()
