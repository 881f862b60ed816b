# Reads cmake/processors.txt: quorvel_processors(ROWS) gives every row, its
# columns joined by "|"; quorvel_processor_columns(ROW) names them.
set(quorvel_processor_columns name triplet processor qemu static_qemu elf release static_pie fault_location)
function(quorvel_processors rows_variable)
  file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/processors.txt lines REGEX "^[^#]")
  set(rows "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "[ \t]+" "|" row "${line}")
    list(APPEND rows "${row}")
  endforeach()
  set(${rows_variable} "${rows}" PARENT_SCOPE)
endfunction()

# Sets a variable for each column of `row`, named as the column: name,
# triplet, processor, qemu, static_qemu, elf, release, static_pie and
# fault_location.
macro(quorvel_processor_columns row)
  string(REPLACE "|" ";" _quorvel_fields "${row}")
  foreach(_quorvel_column _quorvel_value IN ZIP_LISTS quorvel_processor_columns _quorvel_fields)
    set(${_quorvel_column} "${_quorvel_value}")
  endforeach()
endmacro()

# The row of CMAKE_SYSTEM_PROCESSOR, as variables PREFIX_name, PREFIX_triplet, ...
function(quorvel_this_processor prefix)
  quorvel_processors(rows)
  foreach(row IN LISTS rows)
    quorvel_processor_columns("${row}")
    if(processor STREQUAL CMAKE_SYSTEM_PROCESSOR)
      foreach(column IN LISTS quorvel_processor_columns)
        set(${prefix}_${column} "${${column}}" PARENT_SCOPE)
      endforeach()
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "cmake/processors.txt has no row for the processor ${CMAKE_SYSTEM_PROCESSOR}")
endfunction()

# The runner of a static program of the processor `name` on this machine: ""
# when the machine runs it as it is, else its static qemu-user runner. That is
# a fact of the machine (a 64-bit x86 kernel may lack 32-bit support, another
# machine may hand foreign programs to qemu by itself), so it is found out once
# by building a tiny static program with the processor's cross compiler and
# running it. QUORVEL_RUNS_HERE_<name> set to ON or OFF overrides the probe.
function(quorvel_static_runner name triplet static_qemu result_variable)
  set(QUORVEL_RUNS_HERE_${name} AUTO CACHE STRING
      "Whether static ${name} programs run on this machine as they are: AUTO (try one), ON or OFF")
  set(choice ${QUORVEL_RUNS_HERE_${name}})
  if(choice STREQUAL AUTO)
    if(NOT DEFINED QUORVEL_PROBED_RUNS_HERE_${name})
      quorvel_probe_static_program(${triplet} runs)
      set(QUORVEL_PROBED_RUNS_HERE_${name} ${runs} CACHE INTERNAL "")
      message(STATUS "Static ${name} programs run here as they are: ${runs}")
    endif()
    set(choice ${QUORVEL_PROBED_RUNS_HERE_${name}})
  endif()
  if(choice)
    set(${result_variable} "" PARENT_SCOPE)
  else()
    set(${result_variable} ${static_qemu} PARENT_SCOPE)
  endif()
endfunction()

# Builds `int main() { return 0; }` statically with TRIPLET-g++ and runs it:
# ON when it ran and ended with 0, OFF otherwise (no cross compiler included).
function(quorvel_probe_static_program triplet result_variable)
  set(${result_variable} OFF PARENT_SCOPE)
  find_program(probe_compiler ${triplet}-g++ NO_CACHE)
  if(NOT probe_compiler)
    return()
  endif()
  set(folder ${CMAKE_BINARY_DIR}/runs-here/${triplet})
  file(WRITE ${folder}/probe.cpp "int main() { return 0; }\n")
  execute_process(COMMAND ${probe_compiler} -static -o ${folder}/probe ${folder}/probe.cpp
                  RESULT_VARIABLE built OUTPUT_QUIET ERROR_QUIET)
  if(NOT built EQUAL 0)
    return()
  endif()
  execute_process(COMMAND ${folder}/probe RESULT_VARIABLE ran OUTPUT_QUIET ERROR_QUIET)
  if(ran STREQUAL "0")
    set(${result_variable} ON PARENT_SCOPE)
  endif()
endfunction()
