# The program as WebAssembly: quorvel.js for Node.js (one file with the module
# inside, real files through Node) and the page's module, run in a Web Worker
# on files in memory, made into quorvel.html. A native build with QUORVEL_WEB
# makes them with emscripten beside it, and the npm package.

# Inside the emscripten build. Code locations are offsets from the host's stack
# traces (V8 gives them as they are), the function names kept for those
# traces. wasm-opt inlines no procedure into another (as natively, where each
# stays a frame of its own), so that a report names the procedure that failed.
if(EMSCRIPTEN)
  set(hosts ${PROJECT_SOURCE_DIR}/src/services/platform)
  # Memory grows as a run needs it (the checker reads up to 64 MiB of a file),
  # up to a ceiling far above any picture a sprite is made of; the hosts read
  # the heap through emscripten's views, which a growth replaces.
  set(wasm_options -sEXIT_RUNTIME=1 -sUSE_OFFSET_CONVERTER=1
      "-sBINARYEN_EXTRA_PASSES=-ocimfs=0,-fimfs=0" -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=1GB
      --pre-js=${hosts}/wasm_host.js)
  # quorvel.js, quorvel-check.js and quorvel-sheet.js: programs of their own for Node.js.
  foreach(program quorvel quorvel-check quorvel-sheet)
    set_target_properties(${program} PROPERTIES SUFFIX .js)
    target_link_options(${program} PRIVATE ${wasm_options} --profiling-funcs -sENVIRONMENT=node -sNODERAWFS=1
      -sSINGLE_FILE=1 -sNODEJS_CATCH_EXIT=0 -sNODEJS_CATCH_REJECTION=0
      --pre-js=${hosts}/node_host.js --extern-pre-js=${hosts}/node_start.js)
    set_property(TARGET ${program} APPEND PROPERTY LINK_DEPENDS ${hosts}/wasm_host.js
                 ${hosts}/node_host.js ${hosts}/node_start.js)
    add_custom_command(TARGET ${program} POST_BUILD COMMAND chmod 755 $<TARGET_FILE:${program}>)
  endforeach()

  add_executable(quorvel_page src/page/main.cpp src/page/describe.cpp)
  target_link_libraries(quorvel_page PRIVATE quorvel_checks quorvel_sheet)
  set_target_properties(quorvel_page PROPERTIES SUFFIX .js)
  # Each run on the page is a fresh instance of the module: it starts small,
  # so that an instance costs next to nothing, and grows as a run needs. The
  # page carries the module in its one file, so it is made small: optimised
  # for size, without function names (a report's offsets need none).
  target_link_options(quorvel_page PRIVATE ${wasm_options} -Oz -sENVIRONMENT=worker -sMODULARIZE=1
    -sEXPORT_NAME=createQuorvel -sINVOKE_RUN=0 -sEXPORTED_RUNTIME_METHODS=callMain,FS
    -sINITIAL_MEMORY=2MB -sTOTAL_STACK=512KB --pre-js=${hosts}/page_host.js)
  set_property(TARGET quorvel_page APPEND PROPERTY LINK_DEPENDS ${hosts}/wasm_host.js
               ${hosts}/page_host.js)
  # quorvel.html: the page with its style, its scripts and the module inside.
  file(GLOB page_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/web/*)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/quorvel.html
    COMMAND node ${PROJECT_SOURCE_DIR}/web/make_page.js ${PROJECT_SOURCE_DIR}/web
            $<TARGET_FILE:quorvel_page> ${PROJECT_BINARY_DIR}/quorvel.html
    DEPENDS quorvel_page ${page_sources} VERBATIM)
  add_custom_target(quorvel_html ALL DEPENDS ${PROJECT_BINARY_DIR}/quorvel.html)
endif()

# From a native build: the emscripten build beside it, copied into this one.
if(QUORVEL_WEB)
  include(ExternalProject)
  ExternalProject_Add(quorvel_web
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${PROJECT_BINARY_DIR}/wasm
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/emscripten.cmake
               -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target quorvel quorvel-check quorvel-sheet
                  quorvel_html
          COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/quorvel.js <BINARY_DIR>/quorvel-check.js
                  <BINARY_DIR>/quorvel-sheet.js <BINARY_DIR>/quorvel.html ${PROJECT_BINARY_DIR}
    BUILD_BYPRODUCTS ${PROJECT_BINARY_DIR}/quorvel.js ${PROJECT_BINARY_DIR}/quorvel-check.js
                     ${PROJECT_BINARY_DIR}/quorvel-sheet.js ${PROJECT_BINARY_DIR}/quorvel.html
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
  # The npm package: quorvel.js, quorvel-check.js and quorvel-sheet.js as the
  # commands quorvel, quorvel-check and quorvel-sheet, with the README and its
  # pictures, the licence, the changelog, the manual pages, the page and the
  # examples.
  set(npm_folder ${PROJECT_BINARY_DIR}/npm)
  set(QUORVEL_NPM_PACKAGE ${PROJECT_BINARY_DIR}/quorvel-${PROJECT_VERSION}.tgz)
  configure_file(packaging/npm/package.json.in ${npm_folder}/package.json @ONLY)
  add_custom_target(npm_package ALL
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/quorvel.js
            ${PROJECT_BINARY_DIR}/quorvel-check.js ${PROJECT_BINARY_DIR}/quorvel-sheet.js
            ${PROJECT_BINARY_DIR}/quorvel.html ${PROJECT_SOURCE_DIR}/README.md
            ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
            ${PROJECT_SOURCE_DIR}/quorvel.1 ${PROJECT_SOURCE_DIR}/quorvel-check.1
            ${PROJECT_SOURCE_DIR}/quorvel-sheet.1 ${npm_folder}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/docs ${npm_folder}/docs
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/examples ${npm_folder}/examples
    COMMAND ${CMAKE_COMMAND} -E env npm_config_update_notifier=false
            npm pack --silent --pack-destination ${PROJECT_BINARY_DIR} > /dev/null
    WORKING_DIRECTORY ${npm_folder}
    BYPRODUCTS ${QUORVEL_NPM_PACKAGE}
    VERBATIM)
  add_dependencies(npm_package quorvel_web)
endif()
