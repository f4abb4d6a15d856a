# Quantum decoder fuzzing, included by fuzz/CMakeLists.txt before its clang-only part.
#   quantum_fuzz_replay  runs the target over saved inputs; built on every host
#                        configuration and run by ctest over the seeds and the
#                        inputs kept in tests/data/fuzz-regressions/quantum
#   make_quantum_seeds   writes the seeds: make_quantum_seeds FOLDER
#   quantum_fuzz         the libFuzzer target (clang only):
#                        quantum_fuzz -max_len=70000 CORPUS_FOLDER SEED_FOLDER
# No return() here: it would end the including file as well.
if(NOT WIN32 AND TARGET cabinet AND TARGET cabwriter)
  include(${CMAKE_CURRENT_LIST_DIR}/decoder_fuzz.cmake)
  # The seeds come from the writer's encoder, written apart from the decoder.
  add_executable(make_quantum_seeds ${CMAKE_CURRENT_LIST_DIR}/make_quantum_seeds.cpp)
  target_include_directories(make_quantum_seeds PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../cabinet/writer)
  target_link_libraries(make_quantum_seeds PRIVATE cabwriter)
  add_decoder_fuzz(quantum make_quantum_seeds quantum.cpp quantum_model.cpp quantum_window.cpp)
endif()
