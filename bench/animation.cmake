# Animation generation over a five-minute synthetic utterance.
vx_add_benchmark(vx_animation_bench
  ${CMAKE_CURRENT_LIST_DIR}/animation_bench.cpp
  LIBS vx_animation
)
