add_executable(vx-soundinfo ${CMAKE_CURRENT_SOURCE_DIR}/soundinfo/main.cpp)
target_link_libraries(vx-soundinfo PRIVATE vx_audio)
