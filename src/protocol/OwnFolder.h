#pragma once
#include "../runtime/text/Text.h"

// The loader's own folder, where its marker lives and whose runner lock it
// takes: the folder of the held executable as its final path names it
// (UTF-8, through the wide calls), which no link can move while the file is
// held; or, where the system tells no final path, the ANSI folder as started.
struct OwnFolder {
    Text path;
    bool byFinalPath = false;
};
OwnFolder OwnFolderNow();
