# Emphasis detection, speech gestures, and idle head, gaze and blink motion.
target_sources(vx_animation PRIVATE
  random.cpp
  emphasis.cpp
  gestures_map.cpp
  gestures_mapper.cpp
  gestures_actions.cpp
  head_motion.cpp
  gaze.cpp
  blinks.cpp
  gestures.cpp
)
