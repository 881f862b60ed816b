# Run by cpack after it made the .deb: the modes of the archive's members
# (debian-binary, control.tar.*, data.tar.*) come from the builder's umask;
# set them to 644, so that the same commit gives the same package bytes.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  file(SIZE ${package} total)
  set(at 8)  # after "!<arch>\n"
  while(at LESS total)
    math(EXPR size_at "${at} + 48")
    file(READ ${package} size OFFSET ${size_at} LIMIT 10)
    string(STRIP "${size}" size)
    math(EXPR mode_at "${at} + 40")
    execute_process(COMMAND sh -c "printf '100644  ' | dd of='${package}' bs=1 seek=${mode_at} conv=notrunc status=none"
                    COMMAND_ERROR_IS_FATAL ANY)
    math(EXPR at "${at} + 60 + ${size} + ${size} % 2")
  endwhile()
endforeach()
