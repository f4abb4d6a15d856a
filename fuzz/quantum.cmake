# Quantum decoder fuzzing, included by fuzz/CMakeLists.txt before its clang-only part.
#   quantum_fuzz_replay  runs the target over saved inputs; built on every host
#                        configuration and run by ctest over the seeds and the
#                        inputs kept in tests/data/fuzz-regressions/quantum
#   make_quantum_seeds   writes the seeds: make_quantum_seeds FOLDER
#   quantum_fuzz         the libFuzzer target (clang only):
#                        quantum_fuzz -max_len=70000 CORPUS_FOLDER SEED_FOLDER
# No return() here: it would end the including file as well.
if(NOT WIN32 AND TARGET cabinet AND TARGET cabwriter)
  set(QUANTUM_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
  set(QUANTUM_CABINET_DIR ${QUANTUM_FUZZ_DIR}/../cabinet)

  add_executable(quantum_fuzz_replay ${QUANTUM_FUZZ_DIR}/quantum_fuzz.cpp ${QUANTUM_FUZZ_DIR}/engine_replay.cpp)
  target_include_directories(quantum_fuzz_replay PRIVATE ${QUANTUM_CABINET_DIR})
  target_link_libraries(quantum_fuzz_replay PRIVATE cabinet)

  # The seeds come from the writer's encoder, written apart from the decoder.
  add_executable(make_quantum_seeds ${QUANTUM_FUZZ_DIR}/make_quantum_seeds.cpp)
  target_include_directories(make_quantum_seeds PRIVATE ${QUANTUM_CABINET_DIR}/writer)
  target_link_libraries(make_quantum_seeds PRIVATE cabwriter)

  set(QUANTUM_SEED_DIR ${CMAKE_CURRENT_BINARY_DIR}/quantum-seeds)
  add_test(NAME fuzz.quantum_seeds COMMAND make_quantum_seeds ${QUANTUM_SEED_DIR})
  set_tests_properties(fuzz.quantum_seeds PROPERTIES FIXTURES_SETUP quantum_seeds)
  add_test(NAME fuzz.quantum_replay
           COMMAND quantum_fuzz_replay ${QUANTUM_SEED_DIR} ${CMAKE_SOURCE_DIR}/tests/data/fuzz-regressions/quantum)
  set_tests_properties(fuzz.quantum_replay PROPERTIES FIXTURES_REQUIRED quantum_seeds TIMEOUT 300)

  # ORVEL_HAVE_LIBFUZZER is engine.cmake's check, made under the same conditions.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND ORVEL_HAVE_LIBFUZZER)
    # The decoder's sources are compiled into the target so that they carry
    # the fuzzer's coverage instrumentation.
    add_executable(quantum_fuzz ${QUANTUM_FUZZ_DIR}/quantum_fuzz.cpp ${QUANTUM_CABINET_DIR}/quantum.cpp
                                ${QUANTUM_CABINET_DIR}/quantum_model.cpp ${QUANTUM_CABINET_DIR}/quantum_window.cpp)
    target_include_directories(quantum_fuzz PRIVATE ${QUANTUM_CABINET_DIR} ${QUANTUM_CABINET_DIR}/include)
    target_compile_options(quantum_fuzz PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
    target_link_options(quantum_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  endif()
endif()
