#include "hw.h"

namespace {

const FormDefinition kOwnerDefinition = {
    "SetupLoaderOwner",
    "",
    -3795,  // left of the primary screen, should it ever be shown
    600,
    90,
    90,
    false,
    RGB(255, 255, 255),
    0,
};

}  // namespace

Form& hw() {
    static Form owner(kOwnerDefinition);
    return owner;
}
