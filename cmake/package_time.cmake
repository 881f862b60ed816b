# Read by cpack: every time stamp in a package is the source's time, so that
# the same commit gives the same package bytes whenever it is built. Without
# SOURCE_DATE_EPOCH, the last commit's time, read now.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CPACK_QUORVEL_SOURCE_DIR}
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT commit_time STREQUAL "")
    set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
  endif()
endif()
# Time stamps in local time (the .zip's) must not depend on where it is built.
set(ENV{TZ} UTC)
