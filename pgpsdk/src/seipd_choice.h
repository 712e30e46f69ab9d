#pragma once
// Which encrypted container a message gets. RFC 9580's SEIPDv2 (AEAD, with
// v6 session key packets) only when every recipient's key says in its
// Features subpacket that it reads it; otherwise SEIPDv1 with its MDC, which
// every peer reads.
#include <vector>

#include "objects.h"

namespace pgpsdk {

// The Features bit of SEIPDv2 (RFC 9580, 5.2.3.32).
constexpr unsigned kFeatureSeipdV2 = 0x08;

// The features a key states: those of its newest valid self-signature that
// states any, among its direct-key signatures and its primary user ID's
// self-certifications. 0 when none does.
unsigned keyFeatures(rnp_key_handle_t key);

bool everyRecipientReadsSeipdV2(const std::vector<KeyRef>& recipients);

}  // namespace pgpsdk
