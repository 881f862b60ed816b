# Wine makes its prefix on first use and says so on standard error; have that
# happen here, before the tests compare what the program writes there.
execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=-all ${WINE} ${PROGRAM}
                OUTPUT_VARIABLE output ERROR_VARIABLE error TIMEOUT 240)
if(NOT output MATCHES "Usage: ")
  message(FATAL_ERROR "quorvel.exe does not run under Wine:\n${output}\n${error}")
endif()
