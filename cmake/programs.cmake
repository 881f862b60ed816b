# The three programs and the libraries of their rooms: the converter's core
# (quorvel_core, in CMakeLists.txt), what the companions share
# (quorvel_shared: the C64's facts, the companions' console and reports, the
# picture reader), and each companion's own.

# A program of the project: on Windows the wide entry point (wmain), so that
# arguments arrive as UTF-16; elsewhere linked as the build asks.
function(quorvel_program target)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE quorvel_core)
  if(WIN32)
    target_link_options(${target} PRIVATE -municode)
  elseif(QUORVEL_STATIC AND NOT this_static_pie)
    target_link_options(${target} PRIVATE -static)
  elseif(NOT QUORVEL_STATIC AND NOT EMSCRIPTEN)
    # Loading the shared C++ runtime costs more than a whole conversion; link it in.
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()

quorvel_program(quorvel src/driver/main.cpp)

# The picture reader's PNG row is stb_image, a header from Debian's
# libstb-dev: only its own folder is added, so that every build (cross,
# static, MinGW, emscripten) takes it as it is.
find_path(QUORVEL_STB_DIR stb_image.h PATHS /usr/include/stb NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
add_library(quorvel_shared STATIC src/c64/arguments.cpp src/c64/matcher.cpp src/c64/palette_files.cpp
                                  src/companion/companion.cpp
                                  src/picture/picture.cpp src/picture/bmp.cpp src/picture/png.cpp)
target_link_libraries(quorvel_shared PUBLIC quorvel_core)
if(QUORVEL_STB_DIR)
  target_include_directories(quorvel_shared SYSTEM PRIVATE ${QUORVEL_STB_DIR})
  set_property(SOURCE src/picture/png.cpp APPEND PROPERTY COMPILE_DEFINITIONS QUORVEL_PNG)
elseif(DEFINED ENV{QUORVEL_REQUIRE_TOOLS})
  message(FATAL_ERROR "stb_image is missing (Debian package libstb-dev)")
else()
  message(STATUS "quorvel-sheet reads no PNG: stb_image is missing (Debian package libstb-dev)")
endif()

# The companion that checks a bitmap and the arguments before a conversion.
add_library(quorvel_checks STATIC src/check/checks.cpp src/check/program.cpp)
target_link_libraries(quorvel_checks PUBLIC quorvel_shared)
quorvel_program(quorvel-check src/check/main.cpp)
target_link_libraries(quorvel-check PRIVATE quorvel_checks)
# The companion that makes many sprites of one picture.
# Its project files are TOML, read with toml++ (Debian's libtomlplusplus-dev)
# as headers alone: only its own folder is added, so that every build (cross,
# static, MinGW, emscripten) compiles it as it is.
find_path(QUORVEL_TOMLPP_DIR toml.h PATHS /usr/include/toml++ NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
add_library(quorvel_sheet STATIC src/sheet/options.cpp src/sheet/sheet.cpp src/sheet/run.cpp
                                 src/sheet/program.cpp src/sheet/project.cpp
                                 src/sheet/project_file.cpp src/sheet/project_run.cpp
                                 src/sheet/proposal.cpp)
target_link_libraries(quorvel_sheet PUBLIC quorvel_shared)
if(QUORVEL_TOMLPP_DIR)
  target_include_directories(quorvel_sheet SYSTEM PRIVATE ${QUORVEL_TOMLPP_DIR})
  set_property(SOURCE src/sheet/project_file.cpp APPEND PROPERTY COMPILE_DEFINITIONS QUORVEL_TOML)
elseif(DEFINED ENV{QUORVEL_REQUIRE_TOOLS})
  message(FATAL_ERROR "toml++ is missing (Debian package libtomlplusplus-dev)")
else()
  message(STATUS "quorvel-sheet reads no project file: toml++ is missing (Debian package libtomlplusplus-dev)")
endif()
quorvel_program(quorvel-sheet src/sheet/main.cpp)
target_link_libraries(quorvel-sheet PRIVATE quorvel_sheet)
set_property(SOURCE src/check/program.cpp src/sheet/program.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS QUORVEL_RELEASE_VERSION="${PROJECT_VERSION}")
if(QUORVEL_COVERAGE)
  target_compile_options(quorvel_shared PRIVATE --coverage)
  target_compile_options(quorvel_checks PRIVATE --coverage)
  target_compile_options(quorvel_sheet PRIVATE --coverage)
endif()
