# The end-to-end tests against the other builds of the program: Windows under
# Wine (label windows), quorvel.js under Node.js and the page in Chromium
# (label web), the processors of cmake/processors.txt under qemu-user, a
# clang/libc++ build and the static release programs (label other-builds).
# Included from tests/CMakeLists.txt; the builds themselves are declared in
# cmake/test_builds.cmake; the test presets choose by label.

# The end-to-end tests against the program `program`, named PREFIX.Suite.Test.
function(quorvel_end_to_end_against prefix program label)
  gtest_discover_tests(quorvel_end_to_end_tests TEST_PREFIX "${prefix}." DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QUORVEL_PROGRAM=${program}" LABELS ${label} TIMEOUT 600 ${ARGN})
endfunction()

# Windows, cross-compiled with MinGW-w64 and run under Wine, when both are installed.
if(TARGET quorvel_windows)
  set(windows_build ${CMAKE_BINARY_DIR}/windows)
  # One prefix of the build's own and one Wine server for the whole run: a
  # server started anew for every test process costs seconds each time. The
  # test helper finds both beside the Windows build.
  set(wine_environment WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all)
  set(wine_reruns ${CMAKE_BINARY_DIR}/wine-reruns.log)
  foreach(action start stop)
    add_test(NAME windows.wine_${action}
      COMMAND ${CMAKE_COMMAND} -DACTION=${action} -DWINE=${QUORVEL_WINE}
              -DPROGRAM=${windows_build}/quorvel.exe -DRERUNS=${wine_reruns}
              -P ${PROJECT_SOURCE_DIR}/tests/wine_server.cmake)
  endforeach()
  # Started first (the cost): every Windows test waits for it.
  set_tests_properties(windows.wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300 COST 1000
                       ENVIRONMENT "${wine_environment}" LABELS windows)
  set_tests_properties(windows.wine_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60
                       ENVIRONMENT "${wine_environment}" LABELS windows)
  quorvel_end_to_end_against(windows ${windows_build}/quorvel.exe windows FIXTURES_REQUIRED wine)
else()
  message(STATUS "Windows build not tested: needs g++-mingw-w64-x86-64-posix and wine")
endif()

# quorvel.js under Node.js, its npm package, and the page in Chromium.
if(QUORVEL_WEB)
  quorvel_end_to_end_against(node ${CMAKE_BINARY_DIR}/quorvel.js web)
  # quorvel-check.js against quorvel.js: no finding means the sprite is the
  # picture; quorvel-sheet.js's blocks are quorvel.js's sprites.
  gtest_discover_tests(quorvel_robustness_tests TEST_PREFIX "node." TEST_FILTER "CheckProperty.*:SheetProperty.*"
    DISCOVERY_MODE PRE_TEST PROPERTIES ENVIRONMENT "QUORVEL_PROGRAM=${CMAKE_BINARY_DIR}/quorvel.js"
    LABELS web TIMEOUT 900)
  add_test(NAME node.npm_package_installs_and_converts
    COMMAND sh ${PROJECT_SOURCE_DIR}/tests/check_npm_package.sh ${QUORVEL_NPM_PACKAGE}
            $<TARGET_FILE:quorvel> ${PROJECT_SOURCE_DIR}/examples ${CMAKE_BINARY_DIR}/tests/npm_package)
  set_tests_properties(node.npm_package_installs_and_converts PROPERTIES LABELS web)
  # Debian's Chromium, driven by playwright-core (npm, from the committed
  # package-lock.json; installed into tests/browser when missing).
  find_program(QUORVEL_CHROMIUM chromium)
  if(QUORVEL_CHROMIUM)
    set(browser_tests ${PROJECT_SOURCE_DIR}/tests/browser)
    add_test(NAME browser.npm_ci
      COMMAND sh -c "test -d node_modules/playwright-core -a -d node_modules/@axe-core/playwright || npm ci --no-audit --no-fund"
      WORKING_DIRECTORY ${browser_tests})
    add_test(NAME browser.page_converts_like_the_program
      COMMAND node --test ${browser_tests}/page_test.mjs)
    set_tests_properties(browser.npm_ci PROPERTIES FIXTURES_SETUP playwright TIMEOUT 300 LABELS web)
    set_tests_properties(browser.page_converts_like_the_program PROPERTIES
      FIXTURES_REQUIRED playwright TIMEOUT 300 LABELS web
      ENVIRONMENT "QUORVEL_PAGE=${CMAKE_BINARY_DIR}/quorvel.html;QUORVEL_NATIVE=$<TARGET_FILE:quorvel>;QUORVEL_EXAMPLES=${PROJECT_SOURCE_DIR}/examples")
  else()
    quorvel_missing_tool(Chromium chromium)
  endif()
endif()

# Builds for the other processors (Debian's cross compilers) under qemu-user,
# a build with clang and libc++, and the static release programs, each also
# run in an otherwise empty root.
if(QUORVEL_OTHER_BUILDS)
  quorvel_end_to_end_against(clang ${CMAKE_BINARY_DIR}/clang/quorvel other-builds)
  quorvel_processors(rows)
  foreach(row IN LISTS rows)
    quorvel_processor_columns("${row}")
    if(NOT qemu STREQUAL "-")
      quorvel_end_to_end_against(${name} ${CMAKE_BINARY_DIR}/${name}/quorvel other-builds)
    endif()
    if(release)
      quorvel_end_to_end_against(static-${name} ${CMAKE_BINARY_DIR}/static-${name}/quorvel
        other-builds ENVIRONMENT_MODIFICATION QUORVEL_STATIC_PROGRAM=set:1)
      quorvel_static_runner(${name} ${triplet} ${static_qemu} static_runner)
      set(empty_root_runner "")
      if(static_runner)
        set(empty_root_runner /usr/bin/${static_runner})
      endif()
      add_test(NAME static-${name}.runs_in_an_empty_root
        COMMAND sh ${PROJECT_SOURCE_DIR}/tests/check_empty_root.sh ${CMAKE_BINARY_DIR}/static-${name}/quorvel
                $<TARGET_FILE:quorvel> ${PROJECT_SOURCE_DIR}/examples
                ${CMAKE_BINARY_DIR}/tests/static-${name}-root ${empty_root_runner})
      set_tests_properties(static-${name}.runs_in_an_empty_root PROPERTIES SKIP_RETURN_CODE 77
                           LABELS other-builds)
    endif()
  endforeach()
endif()
