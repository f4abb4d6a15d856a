# LZX decoder fuzzing, included by fuzz/CMakeLists.txt before its clang-only part.
#   lzx_fuzz_replay   runs the target over saved inputs; built on every host
#                     configuration and run by ctest over the seeds and the
#                     inputs kept in tests/data/fuzz-regressions/lzx
#   make_lzx_seeds    writes hand-built seed streams: make_lzx_seeds FOLDER
#   lzx_fuzz          the libFuzzer target (clang only):
#                     lzx_fuzz -max_len=200000 CORPUS_FOLDER SEED_FOLDER
# No return() here: it would end the including file as well.
if(NOT WIN32 AND TARGET cabinet)
  set(LZX_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
  set(LZX_CABINET_DIR ${LZX_FUZZ_DIR}/../cabinet)
  set(LZX_BUILDER_DIR ${LZX_FUZZ_DIR}/../tests/host/lzx)

  add_executable(lzx_fuzz_replay ${LZX_FUZZ_DIR}/lzx_fuzz.cpp ${LZX_FUZZ_DIR}/engine_replay.cpp)
  target_include_directories(lzx_fuzz_replay PRIVATE ${LZX_CABINET_DIR})
  target_link_libraries(lzx_fuzz_replay PRIVATE cabinet)

  add_executable(make_lzx_seeds ${LZX_FUZZ_DIR}/make_lzx_seeds.cpp ${LZX_BUILDER_DIR}/lzx_stream_builder.cpp)
  target_include_directories(make_lzx_seeds PRIVATE ${LZX_BUILDER_DIR})

  set(LZX_SEED_DIR ${CMAKE_CURRENT_BINARY_DIR}/lzx-seeds)
  add_test(NAME fuzz.lzx_seeds COMMAND make_lzx_seeds ${LZX_SEED_DIR})
  set_tests_properties(fuzz.lzx_seeds PROPERTIES FIXTURES_SETUP lzx_seeds)
  add_test(NAME fuzz.lzx_replay
           COMMAND lzx_fuzz_replay ${LZX_SEED_DIR} ${CMAKE_SOURCE_DIR}/tests/data/fuzz-regressions/lzx)
  set_tests_properties(fuzz.lzx_replay PROPERTIES FIXTURES_REQUIRED lzx_seeds TIMEOUT 300)

  # engine.cmake, included first, has already asked whether libFuzzer links.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND ORVEL_HAVE_LIBFUZZER)
    # The decoder's sources are compiled into the target so that they carry
    # the fuzzer's coverage instrumentation.
    add_executable(lzx_fuzz ${LZX_FUZZ_DIR}/lzx_fuzz.cpp ${LZX_CABINET_DIR}/lzx.cpp ${LZX_CABINET_DIR}/lzx_tables.cpp)
    target_include_directories(lzx_fuzz PRIVATE ${LZX_FUZZ_DIR} ${LZX_CABINET_DIR} ${LZX_CABINET_DIR}/include)
    target_compile_options(lzx_fuzz PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
    target_link_options(lzx_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  endif()
endif()
