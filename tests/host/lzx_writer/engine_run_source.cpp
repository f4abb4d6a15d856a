// The writer suite's in-memory engine driver, compiled into this suite as well
// so that both extract through one and the same harness.
#include "host/writer/engine_run.cpp"
