# Starts and stops the Wine server that all Windows tests of one run share.
#   start: a server that stays, and the prefix, made here so that Wine's own
#          first-use lines never reach a test's standard error;
#   stop:  the server ends, and the reruns that Wine caused are counted.
get_filename_component(wine_folder ${WINE} DIRECTORY)
find_program(WINESERVER wineserver HINTS ${wine_folder} REQUIRED)

if(ACTION STREQUAL "start")
  file(REMOVE ${RERUNS})
  # A server left by an interrupted run would never end by itself.
  execute_process(COMMAND ${WINESERVER} -k ERROR_QUIET)
  # The server that stays is started first and makes the prefix: waiting for
  # a first server to save a new prefix and end cost two seconds more. It goes
  # to the background and must not hold our pipes open.
  file(MAKE_DIRECTORY $ENV{WINEPREFIX})
  execute_process(COMMAND sh -c "'${WINESERVER}' -p </dev/null >/dev/null 2>&1"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0 AND NOT status EQUAL 2)  # 2: one is running already
    message(FATAL_ERROR "wineserver -p failed with ${status}")
  endif()
  # The first program starts Wine's services, which keep its standard streams,
  # so they go to a file, not to a pipe we wait on; Wine's own first-use lines
  # stay there too. No .NET or HTML engine is looked for: no test needs one.
  set(log $ENV{WINEPREFIX}/first-run.log)
  execute_process(COMMAND sh -c "WINEDLLOVERRIDES='mscoree,mshtml=' '${WINE}' '${PROGRAM}' </dev/null >'${log}' 2>&1"
                  TIMEOUT 240)
  file(READ ${log} output)
  if(NOT output MATCHES "Usage: ")
    message(FATAL_ERROR "quorvel.exe does not run under Wine:\n${output}")
  endif()
elseif(ACTION STREQUAL "stop")
  execute_process(COMMAND ${WINESERVER} -k ERROR_QUIET)
  set(count 0)
  if(EXISTS ${RERUNS})
    file(STRINGS ${RERUNS} reruns)
    list(LENGTH reruns count)
  endif()
  message("Invocations run again because of Wine: ${count} (listed in ${RERUNS})")
endif()
