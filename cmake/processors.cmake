# Reads cmake/processors.txt: quorvel_processors(ROWS) gives every row as a
# list
# "name;triplet;processor;qemu;static_qemu;elf;release;static_pie;fault_location".
function(quorvel_processors rows_variable)
  file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/processors.txt lines REGEX "^[^#]")
  set(rows "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "[ \t]+" "|" row "${line}")
    list(APPEND rows "${row}")
  endforeach()
  set(${rows_variable} "${rows}" PARENT_SCOPE)
endfunction()

# The row of CMAKE_SYSTEM_PROCESSOR, as variables PREFIX_name, PREFIX_triplet, ...
function(quorvel_this_processor prefix)
  quorvel_processors(rows)
  set(columns name triplet processor qemu static_qemu elf release static_pie fault_location)
  foreach(row IN LISTS rows)
    string(REPLACE "|" ";" fields "${row}")
    list(GET fields 2 processor)
    if(processor STREQUAL CMAKE_SYSTEM_PROCESSOR)
      foreach(column value IN ZIP_LISTS columns fields)
        set(${prefix}_${column} "${value}" PARENT_SCOPE)
      endforeach()
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "cmake/processors.txt has no row for the processor ${CMAKE_SYSTEM_PROCESSOR}")
endfunction()
