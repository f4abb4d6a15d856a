// The vendor's signature on Update.cab, checked before the launcher is closed
// or anything is written.
#pragma once

#include <windows.h>

// TRUE when the cabinet at path and the later cabinets of its set carry a
// good signature by the key this updater was built with, or when it was
// built without one (it then installs any cabinet, as its version resource
// says). The files checked stay open, others unable to change them, until
// the updater ends, so that what is installed is what was checked.
BOOL VerifyUpdateSignature(const char *path);
