# Coarticulation rules and lip synching.
target_sources(vx_animation PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/coarticulation_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rules_mapper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/influence.cpp
  ${CMAKE_CURRENT_LIST_DIR}/segments.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lip_sync.cpp
)
