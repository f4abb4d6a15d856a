#include "app.h"

// Alone in its file: a program that defines the record itself does not pull
// this object in.
LauncherApp theApp;
