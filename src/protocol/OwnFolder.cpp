#include "OwnFolder.h"

#include "../runtime/process/App.h"
#include "../runtime/text/ProcessText.h"

OwnFolder OwnFolderNow() {
    OwnFolder own;
    own.handle = App::HeldFolder();
    ModulePath parts;
    if (SplitModulePath(App::FinalPath(), parts)) own.path = parts.folder;
    return own;
}
