# WebAssembly with emscripten, where Debian (packages emscripten and
# node-acorn) or emsdk (EMSDK set by its emsdk_env) puts it: makes quorvel.js.
if(DEFINED ENV{EMSDK})
  set(emscripten_root $ENV{EMSDK}/upstream/emscripten)
else()
  find_program(emxx em++ REQUIRED)
  file(REAL_PATH ${emxx} emxx)
  get_filename_component(emscripten_root ${emxx} DIRECTORY)
endif()
include(${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)
# Debian's emscripten needs the Node.js module acorn from /usr/share/nodejs,
# which a Node.js that is not Debian's does not search by itself.
if(EXISTS /usr/share/nodejs/acorn)
  set(ENV{NODE_PATH} /usr/share/nodejs)
  set(CMAKE_CXX_COMPILER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
  set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
endif()
