// Entry points that exist so that a loader binding the whole table
// succeeds. They take no arguments that matter, write nothing and say so.
#include "pgpsdk/pgpsdk.h"
#include "pgpsdk/pgpsdk_entry_points.h"

#define PGPSDK_IGNORE(name)
#define PGPSDK_UNAVAILABLE(name) \
    extern "C" PGPSDK_API PGPError name(void) { return kPGPError_FeatureNotAvailable; }

PGPSDK_ENTRY_POINTS(PGPSDK_IGNORE, PGPSDK_UNAVAILABLE)
