# WebAssembly for Node.js with Debian's emscripten (packages emscripten and
# node-acorn): makes quorvel.js.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
# Debian's emscripten needs the Node.js module acorn from /usr/share/nodejs,
# which a Node.js that is not Debian's does not search by itself.
set(ENV{NODE_PATH} /usr/share/nodejs)
set(CMAKE_CXX_COMPILER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
