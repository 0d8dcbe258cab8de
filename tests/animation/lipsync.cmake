# Coarticulation rules, influence model and lip synching.
vx_add_test(vx_lipsync_tests
  ${CMAKE_CURRENT_LIST_DIR}/rules_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lipsync_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lipsync_property_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lipsync_phonemes.cpp
  LIBS vx_animation
)
