#include "OwnFolder.h"

#include "../runtime/process/App.h"

OwnFolder OwnFolderNow() { return {App::HeldFolder()}; }
