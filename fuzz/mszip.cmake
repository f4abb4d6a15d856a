# MSZIP decoder fuzzing, included by fuzz/CMakeLists.txt before its clang-only part.
#   mszip_fuzz_replay            runs the target over saved inputs; built on every
#                                host configuration and run by ctest over the seeds
#                                and the inputs kept in tests/data/fuzz-regressions/mszip
#   mszip_roundtrip_fuzz_replay  likewise for the round-trip target (any bytes are
#                                its input, so it replays the same seeds)
#   make_mszip_seeds             writes zlib-made seed folders: make_mszip_seeds FOLDER
#   mszip_fuzz, mszip_roundtrip_fuzz
#                                the libFuzzer targets (clang only)
# No return() here: it would end the including file as well.
if(NOT WIN32 AND TARGET cabinet)
  include(${CMAKE_CURRENT_LIST_DIR}/decoder_fuzz.cmake)
  find_package(ZLIB REQUIRED)
  add_executable(make_mszip_seeds ${CMAKE_CURRENT_LIST_DIR}/make_mszip_seeds.cpp)
  target_link_libraries(make_mszip_seeds PRIVATE ZLIB::ZLIB)
  add_decoder_fuzz(mszip make_mszip_seeds mszip.cpp inflate_tables.cpp)
  # zlib only encodes: the round-trip target compresses the fuzzer's text with it.
  add_decoder_fuzz(mszip_roundtrip make_mszip_seeds mszip.cpp inflate_tables.cpp)
  target_link_libraries(mszip_roundtrip_fuzz_replay PRIVATE ZLIB::ZLIB)
  if(TARGET mszip_roundtrip_fuzz)
    target_link_libraries(mszip_roundtrip_fuzz PRIVATE ZLIB::ZLIB)
  endif()
endif()
