// The one application object of the program.
#include "app/InstallApp.h"

CInstallApp theApp;
