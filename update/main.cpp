// The one application object, made before the entry point runs.
#include "app.h"

UpdaterApp theApp;
