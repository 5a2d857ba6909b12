# Run by CPack on the staged files before they are packed: the programs lose
# their symbols and the compiler's notes, as Debian's own packages do.
# Each package's files are staged in a folder of their own.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*"
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/usr/bin/*")
foreach(program ${programs})
  execute_process(
    COMMAND "${CPACK_TEMPOLOG_STRIP}" --strip-unneeded --remove-section=.comment
            --remove-section=.note "${program}"
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot strip ${program}")
  endif()
endforeach()
list(LENGTH programs count)
if(count EQUAL 0)
  message(FATAL_ERROR "no programs in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
