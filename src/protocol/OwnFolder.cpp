#include "OwnFolder.h"

#include "../runtime/process/App.h"
#include "../runtime/text/ProcessText.h"

OwnFolder OwnFolderNow() {
    ModulePath parts;
    if (!App::FinalPath().empty() && SplitModulePath(App::FinalPath(), parts)) return {parts.folder, true};
    return {App::Path(), false};
}
