# Engine fuzzing, included by fuzz/CMakeLists.txt before its clang-only part.
#   engine_fuzz_replay   runs the target over saved inputs; built on every host
#                        configuration and run by ctest over the seeds and the
#                        inputs kept in tests/data/fuzz-regressions/engine
#   make_engine_seeds    writes the seed cabinets: make_engine_seeds FOLDER
#   engine_fuzz          the libFuzzer target (clang only):
#                        engine_fuzz -max_len=65536 CORPUS_FOLDER SEED_FOLDER
# No return() here: it would end the including file as well.
if(NOT WIN32 AND TARGET cabinet)
  set(ENGINE_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
  set(ENGINE_CABINET_DIR ${ENGINE_FUZZ_DIR}/../cabinet)

  add_executable(engine_fuzz_replay ${ENGINE_FUZZ_DIR}/engine_fuzz.cpp ${ENGINE_FUZZ_DIR}/engine_replay.cpp)
  target_link_libraries(engine_fuzz_replay PRIVATE cabinet)

  if(TARGET cabwriter)
    # The sets laid out byte by byte come from the engine tests' builder.
    set(ENGINE_TESTS_DIR ${ENGINE_FUZZ_DIR}/../tests)
    add_executable(make_engine_seeds ${ENGINE_FUZZ_DIR}/make_seeds.cpp ${ENGINE_TESTS_DIR}/host/engine/continued_set.cpp
                                     ${ENGINE_TESTS_DIR}/host/engine/fake_io.cpp ${ENGINE_TESTS_DIR}/support/zlib_blocks.cpp)
    target_include_directories(make_engine_seeds PRIVATE ${ENGINE_TESTS_DIR} ${ENGINE_TESTS_DIR}/host/engine
                                                         ${ENGINE_CABINET_DIR})
    target_link_libraries(make_engine_seeds PRIVATE cabwriter cabinet)

    set(ENGINE_SEED_DIR ${CMAKE_CURRENT_BINARY_DIR}/engine-seeds)
    add_test(NAME fuzz.engine_seeds COMMAND make_engine_seeds ${ENGINE_SEED_DIR})
    set_tests_properties(fuzz.engine_seeds PROPERTIES FIXTURES_SETUP engine_seeds TIMEOUT 60)
    add_test(NAME fuzz.engine_replay
             COMMAND engine_fuzz_replay ${ENGINE_SEED_DIR} ${CMAKE_SOURCE_DIR}/tests/data/fuzz-regressions/engine)
    set_tests_properties(fuzz.engine_replay PROPERTIES FIXTURES_REQUIRED engine_seeds TIMEOUT 300)
  endif()

  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer")
    check_cxx_source_compiles(
      "#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const std::uint8_t *, std::size_t) { return 0; }"
      ORVEL_HAVE_LIBFUZZER)
    unset(CMAKE_REQUIRED_FLAGS)
    if(ORVEL_HAVE_LIBFUZZER)
      # The engine and its decoders are compiled into the target so that they
      # carry the fuzzer's coverage instrumentation.
      file(GLOB ENGINE_FUZZ_CABINET_SOURCES CONFIGURE_DEPENDS ${ENGINE_CABINET_DIR}/*.cpp)
      add_executable(engine_fuzz ${ENGINE_FUZZ_DIR}/engine_fuzz.cpp ${ENGINE_FUZZ_CABINET_SOURCES})
      target_include_directories(engine_fuzz PRIVATE ${ENGINE_CABINET_DIR} ${ENGINE_CABINET_DIR}/include)
      target_compile_options(engine_fuzz PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
      target_link_options(engine_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
    endif()
  endif()
endif()
