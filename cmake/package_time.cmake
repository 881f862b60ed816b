# Read by cpack: every time stamp in a package is the source's time, so that
# the same commit gives the same package bytes whenever it is built.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT CPACK_SOURCE_DATE_EPOCH STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_SOURCE_DATE_EPOCH}")
endif()
