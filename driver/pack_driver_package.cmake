# Packs the sample driver tree into DriverData.Drv (run with cmake -P).
# Inputs: SOURCE (the tree), STAGE (scratch folder), OUTPUT (the package),
# OVERRIDES (a file of "entry=path" lines), GCAB (the gcab program).

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${SOURCE}/ DESTINATION ${STAGE})

if(EXISTS ${OVERRIDES})
  file(STRINGS ${OVERRIDES} lines)
  foreach(line IN LISTS lines)
    if(line STREQUAL "")
      continue()
    endif()
    string(FIND "${line}" "=" eq)
    if(eq LESS 1)
      message(FATAL_ERROR "driver package override without an entry name: ${line}")
    endif()
    string(SUBSTRING "${line}" 0 ${eq} entry)
    math(EXPR from "${eq} + 1")
    string(SUBSTRING "${line}" ${from} -1 path)
    string(REPLACE "\\" "/" entry "${entry}")
    if(entry MATCHES "(^|/)\\.\\.(/|$)" OR IS_ABSOLUTE "${entry}")
      message(FATAL_ERROR "driver package override outside the package: ${entry}")
    endif()
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "driver package override ${entry}: no file ${path}")
    endif()
    # The entry keeps the spelling of the placeholder it replaces.
    file(GLOB_RECURSE existing RELATIVE ${STAGE} ${STAGE}/*)
    string(TOLOWER "${entry}" lower)
    foreach(candidate IN LISTS existing)
      string(TOLOWER "${candidate}" candidate_lower)
      if(candidate_lower STREQUAL lower)
        set(entry "${candidate}")
        file(REMOVE "${STAGE}/${candidate}")
      endif()
    endforeach()
    configure_file("${path}" "${STAGE}/${entry}" COPYONLY)
  endforeach()
endif()

# gcab stores the names as given, relative to the working folder, with '\'.
file(GLOB_RECURSE entries RELATIVE ${STAGE} ${STAGE}/*)
list(SORT entries)
file(REMOVE ${OUTPUT}.tmp)
execute_process(COMMAND ${GCAB} -c -z ${OUTPUT}.tmp ${entries}
                WORKING_DIRECTORY ${STAGE}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "gcab failed (${result})")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
