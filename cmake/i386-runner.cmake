# How the 32-bit Linux build's programs run: natively where the kernel runs
# 32-bit code, otherwise under qemu-i386-static. A probe program decides at
# configure time; ctest, test discovery and the scripts then go through
# CMAKE_CROSSCOMPILING_EMULATOR, and ORVEL_I386_RUN records which way it went
# ("native" or "qemu-i386") for scripts/test-all.sh. ORVEL_I386_QEMU=ON runs
# them under qemu even where the kernel could run them.
option(ORVEL_I386_QEMU "Run the 32-bit programs under qemu-i386-static even where the kernel runs them" OFF)
set(probe_dir ${CMAKE_BINARY_DIR}/i386-probe)
file(WRITE ${probe_dir}/probe.c "int main(void) { return sizeof(void *) == 4 ? 0 : 1; }\n")
try_compile(probe_built ${probe_dir}/build SOURCES ${probe_dir}/probe.c
  COPY_FILE ${probe_dir}/probe OUTPUT_VARIABLE probe_log)
if(NOT probe_built)
  message(FATAL_ERROR "cannot build a 32-bit program (g++-multilib missing?):\n${probe_log}")
endif()

set(native_rc 1)
if(NOT ORVEL_I386_QEMU)
  execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE native_rc OUTPUT_QUIET ERROR_QUIET)
endif()
if(native_rc EQUAL 0)
  set(ORVEL_I386_RUN native CACHE INTERNAL "How the 32-bit programs run")
  unset(CMAKE_CROSSCOMPILING_EMULATOR)
else()
  find_program(QEMU_I386 NAMES qemu-i386-static qemu-i386)
  if(NOT QEMU_I386)
    message(FATAL_ERROR "this kernel runs no 32-bit programs and qemu-i386-static is missing (scripts/bootstrap.sh installs it)")
  endif()
  execute_process(COMMAND ${QEMU_I386} ${probe_dir}/probe RESULT_VARIABLE qemu_rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT qemu_rc EQUAL 0)
    message(FATAL_ERROR "the 32-bit probe fails under ${QEMU_I386} (exit ${qemu_rc})")
  endif()
  set(ORVEL_I386_RUN qemu-i386 CACHE INTERNAL "How the 32-bit programs run")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_I386})
endif()
message(STATUS "32-bit programs run: ${ORVEL_I386_RUN}")
