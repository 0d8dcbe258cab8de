# Installs the build into a scratch prefix and runs the installed korvel with its plug-in: the
# plug-in's data, configuration and sample sounds must be where the pane looks for them.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(rc)
  message(FATAL_ERROR "cmake --install failed (${rc}): ${err}")
endif()
set(plugins ${PREFIX}/${LIBDIR}/korvel/plugins)
foreach(f KvParlo.so KvParlo/Data/DtC6dl.dat KvParlo/Data/Wt16M9fs.dat
    KvParlo/Evaluation_Sounds/hello_world.wav KvParlo/Evaluation_Sounds/hello_world.txt)
  if(NOT EXISTS ${plugins}/${f})
    message(FATAL_ERROR "not installed: ${plugins}/${f}")
  endif()
endforeach()
if(NOT IS_DIRECTORY ${plugins}/KvParlo/Configuration_Files)
  message(FATAL_ERROR "not installed: ${plugins}/KvParlo/Configuration_Files")
endif()
execute_process(COMMAND ${PREFIX}/bin/korvel
    --figure ${PREFIX}/share/korvel/figures/parlo_head.cr2 --script ${SCRIPT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc OR NOT out MATCHES "Lip Sync pane ok")
  message(FATAL_ERROR "installed korvel failed (${rc}): ${out} ${err}")
endif()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "installed korvel runs its plug-in")
