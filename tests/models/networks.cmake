# Trainer/engine parity of the phoneme networks: PyTorch's posteriors for the committed test
# sounds must match vx-posteriors (the engine's own network steps) within 1e-4. Cases: the
# small test networks (both directions, both rates, a 40-class file) and the shipped weights.
# Exits 77 (skipped) when /usr/bin/python3 has no PyTorch.
set(VX_TRAINER_PYTHON /usr/bin/python3 CACHE FILEPATH "Python with PyTorch for the trainer tests")
set(_nets ${VX_TEST_DATA}/recognizer/networks)
set(_shipped ${PROJECT_SOURCE_DIR}/data/KvParlo/Data)
set(_c16 ${VX_TEST_DATA}/recognizer/golden/chirp16k.vxfeat)
set(_c8 ${VX_TEST_DATA}/recognizer/golden/chirp8k.vxfeat)
set(_cases --weights ${_nets}/classes40.dat --features ${_c16} --backward)
foreach(_pair "Wt16M9fs.dat;${_c16};--forward" "Wt16M9bs.dat;${_c16};--backward"
              "Wt8S9fs.dat;${_c8};--forward" "Wt8S9bs.dat;${_c8};--backward")
  list(GET _pair 0 _file)
  list(GET _pair 1 _features)
  list(GET _pair 2 _direction)
  foreach(_folder ${_nets} ${_shipped})
    if(EXISTS ${_folder}/${_file})
      list(APPEND _cases --weights ${_folder}/${_file} --features ${_features} ${_direction})
    endif()
  endforeach()
endforeach()
add_test(NAME network_parity
  COMMAND ${VX_TRAINER_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/network_parity_test.py
          --posteriors $<TARGET_FILE:vx-posteriors> ${_cases})
set_tests_properties(network_parity PROPERTIES SKIP_RETURN_CODE 77 LABELS models TIMEOUT 120)

# The trainer's network widening and loss weights.
add_test(NAME trainer_units
  COMMAND ${VX_TRAINER_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/trainer_test.py)
set_tests_properties(trainer_units PROPERTIES SKIP_RETURN_CODE 77 LABELS models TIMEOUT 60)
