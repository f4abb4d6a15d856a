# What each decoder's fuzzing adds, included by lzx.cmake and quantum.cmake:
#   add_decoder_fuzz(NAME SEED_TOOL DECODER_SOURCES...)
# makes NAME_fuzz_replay from fuzz/NAME_fuzz.cpp, the ctest runs of SEED_TOOL
# (fuzz.NAME_seeds, into NAME-seeds) and of the replay over those seeds and
# tests/data/fuzz-regressions/NAME (fuzz.NAME_replay); and, where clang links
# libFuzzer (engine.cmake's check), the libFuzzer target NAME_fuzz with the
# decoder's sources compiled in, so that they carry its coverage instrumentation.
include_guard(GLOBAL)

set(DECODER_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
set(DECODER_FUZZ_CABINET_DIR ${CMAKE_CURRENT_LIST_DIR}/../cabinet)

function(add_decoder_fuzz name seed_tool)
  set(source ${DECODER_FUZZ_DIR}/${name}_fuzz.cpp)
  add_executable(${name}_fuzz_replay ${source} ${DECODER_FUZZ_DIR}/engine_replay.cpp)
  target_include_directories(${name}_fuzz_replay PRIVATE ${DECODER_FUZZ_CABINET_DIR})
  target_link_libraries(${name}_fuzz_replay PRIVATE cabinet)

  set(seed_dir ${CMAKE_CURRENT_BINARY_DIR}/${name}-seeds)
  add_test(NAME fuzz.${name}_seeds COMMAND ${seed_tool} ${seed_dir})
  set_tests_properties(fuzz.${name}_seeds PROPERTIES FIXTURES_SETUP ${name}_seeds)
  add_test(NAME fuzz.${name}_replay
           COMMAND ${name}_fuzz_replay ${seed_dir} ${CMAKE_SOURCE_DIR}/tests/data/fuzz-regressions/${name})
  set_tests_properties(fuzz.${name}_replay PROPERTIES FIXTURES_REQUIRED ${name}_seeds TIMEOUT 300)

  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND ORVEL_HAVE_LIBFUZZER)
    list(TRANSFORM ARGN PREPEND ${DECODER_FUZZ_CABINET_DIR}/)
    add_executable(${name}_fuzz ${source} ${ARGN})
    target_include_directories(${name}_fuzz PRIVATE ${DECODER_FUZZ_DIR} ${DECODER_FUZZ_CABINET_DIR}
                                                    ${DECODER_FUZZ_CABINET_DIR}/include)
    target_compile_options(${name}_fuzz PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
    target_link_options(${name}_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  endif()
endfunction()
