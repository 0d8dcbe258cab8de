# Emphasis, speech gestures, idle head, gaze and blink, and the random source behind them.
vx_add_test(vx_gestures_tests
  ${CMAKE_CURRENT_LIST_DIR}/random_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/emphasis_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gestures_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/head_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/blink_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gestures_property_test.cpp
  LIBS vx_animation
)
