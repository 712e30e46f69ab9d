#include "core/key_ring_events.h"

KeyRingEvents& KeyRingEvents::instance()
{
    static KeyRingEvents events;
    return events;
}
