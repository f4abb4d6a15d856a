# Salvage fuzzing, included by fuzz/CMakeLists.txt before its clang-only part.
#   salvage_fuzz_replay  runs the target over saved inputs; built on every host
#                        configuration and run by ctest over the engine's seed
#                        cabinets and the inputs kept in
#                        tests/data/fuzz-regressions/salvage
#   salvage_fuzz         the libFuzzer target (clang only):
#                        salvage_fuzz -close_fd_mask=3 -max_len=131072 CORPUS_FOLDER SEED_FOLDER
# Both are built from the same list of the tool's sources, so that a host build
# fails where the fuzz preset's would.
# No return() here: it would end the including file as well.
if(NOT WIN32 AND TARGET cabinet AND TARGET cabwriter AND TARGET cabsign)
  set(SALVAGE_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
  set(SALVAGE_TOOL_DIR ${SALVAGE_FUZZ_DIR}/../tools/cabtool)
  # Every source of the tool but its main(): salvage reaches names, output
  # and progress, and a hand-kept list goes stale as the tool grows.
  file(GLOB_RECURSE SALVAGE_FUZZ_TOOL_SOURCES CONFIGURE_DEPENDS ${SALVAGE_TOOL_DIR}/*.cpp)
  list(REMOVE_ITEM SALVAGE_FUZZ_TOOL_SOURCES ${SALVAGE_TOOL_DIR}/commands/main.cpp)
  find_package(OpenSSL REQUIRED)

  function(add_salvage_target name)
    add_executable(${name} ${SALVAGE_FUZZ_DIR}/salvage_fuzz.cpp ${SALVAGE_FUZZ_TOOL_SOURCES} ${ARGN})
    target_include_directories(${name} PRIVATE ${SALVAGE_FUZZ_DIR}/../cabinet ${SALVAGE_TOOL_DIR})
    target_link_libraries(${name} PRIVATE cabwriter cabsign OpenSSL::Crypto)
  endfunction()

  if(TARGET make_engine_seeds)
    add_salvage_target(salvage_fuzz_replay ${SALVAGE_FUZZ_DIR}/engine_replay.cpp)
    target_link_libraries(salvage_fuzz_replay PRIVATE cabinet)
    set(SALVAGE_REPLAY_INPUTS ${CMAKE_CURRENT_BINARY_DIR}/engine-seeds)
    if(EXISTS ${CMAKE_SOURCE_DIR}/tests/data/fuzz-regressions/salvage)
      list(APPEND SALVAGE_REPLAY_INPUTS ${CMAKE_SOURCE_DIR}/tests/data/fuzz-regressions/salvage)
    endif()
    add_test(NAME fuzz.salvage_replay COMMAND salvage_fuzz_replay ${SALVAGE_REPLAY_INPUTS})
    set_tests_properties(fuzz.salvage_replay PROPERTIES FIXTURES_REQUIRED engine_seeds TIMEOUT 300)
  endif()

  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND ORVEL_HAVE_LIBFUZZER)
    # The engine is compiled into the target so that it carries the fuzzer's
    # coverage instrumentation.
    file(GLOB SALVAGE_FUZZ_CABINET_SOURCES CONFIGURE_DEPENDS ${SALVAGE_FUZZ_DIR}/../cabinet/*.cpp)
    add_salvage_target(salvage_fuzz ${SALVAGE_FUZZ_CABINET_SOURCES})
    target_compile_options(salvage_fuzz PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
    target_link_options(salvage_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  endif()
endif()
