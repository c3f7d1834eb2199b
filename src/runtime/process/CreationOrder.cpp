#include "CreationOrder.h"

bool CreatedNoLaterThan(unsigned long long parentCreated, unsigned long long ownCreated) {
    return parentCreated <= ownCreated;
}
