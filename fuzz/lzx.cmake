# LZX decoder fuzzing, included by fuzz/CMakeLists.txt before its clang-only part.
#   lzx_fuzz_replay   runs the target over saved inputs; built on every host
#                     configuration and run by ctest over the seeds and the
#                     inputs kept in tests/data/fuzz-regressions/lzx
#   make_lzx_seeds    writes hand-built seed streams: make_lzx_seeds FOLDER
#   lzx_fuzz          the libFuzzer target (clang only):
#                     lzx_fuzz -max_len=200000 CORPUS_FOLDER SEED_FOLDER
# No return() here: it would end the including file as well.
if(NOT WIN32 AND TARGET cabinet)
  include(${CMAKE_CURRENT_LIST_DIR}/decoder_fuzz.cmake)
  set(LZX_BUILDER_DIR ${CMAKE_CURRENT_LIST_DIR}/../tests/host/lzx)
  add_executable(make_lzx_seeds ${CMAKE_CURRENT_LIST_DIR}/make_lzx_seeds.cpp ${LZX_BUILDER_DIR}/lzx_stream_builder.cpp)
  target_include_directories(make_lzx_seeds PRIVATE ${LZX_BUILDER_DIR})
  add_decoder_fuzz(lzx make_lzx_seeds lzx.cpp lzx_tables.cpp)
endif()
