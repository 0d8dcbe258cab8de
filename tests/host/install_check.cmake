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
    KvParlo/Evaluation_Sounds/hello_world.wav KvParlo/Evaluation_Sounds/hello_world.txt
    KvParlo/Data/CR22LSC.ini KvParlo/Configuration_Files/default.lsc
    KvParlo/Figures/parlo_speaker.cr2 KvParlo/ParloPro/parlo3)
  if(NOT EXISTS ${plugins}/${f})
    message(FATAL_ERROR "not installed: ${plugins}/${f}")
  endif()
endforeach()
execute_process(COMMAND ${PREFIX}/bin/korvel
    --figure ${PREFIX}/share/korvel/figures/parlo_head.cr2 --script ${SCRIPT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc OR NOT out MATCHES "Lip Sync pane ok")
  message(FATAL_ERROR "installed korvel failed (${rc}): ${out} ${err}")
endif()
# The installed sample figure is analysed with its installed configuration.
execute_process(COMMAND ${PREFIX}/bin/korvel
    --figure ${plugins}/KvParlo/Figures/parlo_speaker.cr2 --script ${ANALYZE_SCRIPT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc OR NOT out MATCHES "analysed")
  message(FATAL_ERROR "installed korvel did not analyse (${rc}): ${out} ${err}")
endif()
# The installed Parlo Pro stand-in runs, and names what is wrong with its arguments.
execute_process(COMMAND ${plugins}/KvParlo/ParloPro/parlo3 --fromKorvelStudio
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 2 OR NOT err MATCHES "usage: parlo3")
  message(FATAL_ERROR "installed parlo3 (${rc}): ${out} ${err}")
endif()
# Without its lexicon the plug-in cannot start its engine: a scripted run reports the box that
# says so and fails, rather than waiting for someone to close it.
file(REMOVE ${plugins}/KvParlo/Data/DtC6dl.dat)
execute_process(COMMAND ${PREFIX}/bin/korvel
    --figure ${plugins}/KvParlo/Figures/parlo_speaker.cr2 --script ${ANALYZE_SCRIPT}
  TIMEOUT 120 RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "dialog \"KvParlo Error\"")
  message(FATAL_ERROR "korvel without its lexicon (${rc}): ${out} ${err}")
endif()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "installed korvel runs its plug-in")
