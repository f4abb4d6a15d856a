// The engine fuzz target's entry point, shared by libFuzzer and the replay runner.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);
