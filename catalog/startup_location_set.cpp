#include "catalog/startup_location_set.h"

StartupLocationSet::~StartupLocationSet() {
    // The lists hold shell objects that must go before OLE is shut down, so
    // they are destroyed by Run, not here. Whatever is left at process exit is
    // released without being destroyed.
    for (auto& slot : slots) slot.release();
}

void StartupLocationSet::ClearSlots() {
    for (auto& slot : slots) slot.reset();
}

StartupLocationSet& GetStartupLocationSet() {
    static StartupLocationSet set;
    return set;
}
