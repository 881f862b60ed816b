# Starts and stops the Wine server that all Windows tests of one run share.
#   start: the prefix, made here so that Wine's own first-use lines never reach
#          a test's standard error, then a server that stays;
#   stop:  the server ends, and the reruns that Wine caused are counted.
get_filename_component(wine_folder ${WINE} DIRECTORY)
find_program(WINESERVER wineserver HINTS ${wine_folder} REQUIRED)

if(ACTION STREQUAL "start")
  file(REMOVE ${RERUNS})
  # A server left by an interrupted run would never end by itself.
  execute_process(COMMAND ${WINESERVER} -k ERROR_QUIET)
  execute_process(COMMAND ${WINE} ${PROGRAM}
                  OUTPUT_VARIABLE output ERROR_VARIABLE error TIMEOUT 240)
  if(NOT output MATCHES "Usage: ")
    message(FATAL_ERROR "quorvel.exe does not run under Wine:\n${output}\n${error}")
  endif()
  # Let the server that made the prefix save it and end, then start the one
  # that stays. It goes to the background and must not hold our pipes open.
  execute_process(COMMAND ${WINESERVER} -w TIMEOUT 60)
  execute_process(COMMAND sh -c "'${WINESERVER}' -p </dev/null >/dev/null 2>&1"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0 AND NOT status EQUAL 2)  # 2: one is running already
    message(FATAL_ERROR "wineserver -p failed with ${status}")
  endif()
  # The first program to use the new server starts Wine's services, which keep
  # its standard streams: let that be one whose streams lead nowhere.
  execute_process(COMMAND sh -c "'${WINE}' '${PROGRAM}' </dev/null >/dev/null 2>&1")
elseif(ACTION STREQUAL "stop")
  execute_process(COMMAND ${WINESERVER} -k ERROR_QUIET)
  set(count 0)
  if(EXISTS ${RERUNS})
    file(STRINGS ${RERUNS} reruns)
    list(LENGTH reruns count)
  endif()
  message("Invocations run again because of Wine: ${count} (listed in ${RERUNS})")
endif()
