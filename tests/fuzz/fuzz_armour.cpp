// Any bytes through the SDK library's own readers of a message's form: its
// ASCII armour and checksum, its packet headers, its session-key packets
// (hidden recipients, password packets), and librnp's dearmouring. Each
// must give an answer within the bytes it was given.
#include <rnp/rnp.h>
#include <rnp/rnp_err.h>

#include <cstddef>
#include <cstdint>

#include "hidden_recipients.h"
#include "message_damage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    pgpsdk::messageDamage(data, size);
    pgpsdk::sessionKeyPacketsRefused(data, size);
    for (const auto& packet : pgpsdk::sessionKeyPackets(data, size))
        if (packet.keyIdOffset + 8 > size)
            __builtin_trap();
    rnp_input_t in = nullptr;
    rnp_output_t out = nullptr;
    if (rnp_input_from_memory(&in, data, size, false) == RNP_SUCCESS && rnp_output_to_null(&out) == RNP_SUCCESS)
        rnp_dearmor(in, out);
    rnp_output_destroy(out);
    rnp_input_destroy(in);
    return 0;
}
