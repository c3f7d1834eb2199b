#include "CodePage.h"

bool TakesExactnessFlags(unsigned codePage) {
    // The code pages WideCharToMultiByte documents as taking no flags.
    bool noFlags = codePage == 42 || (codePage >= 50220 && codePage <= 50229) ||
                   (codePage >= 57002 && codePage <= 57011) || codePage == 65000 || codePage == kCodePageUtf8;
    return !noFlags;
}
