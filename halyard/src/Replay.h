#pragma once

#include "Journal.h"
#include "Loopback.h"
#include "halyard.h"

namespace halyard {

// Checks a request, once answered, against what the scenario expected of
// it: the recorded arguments, its place among the recorded requests and, in
// strict mode, that something scripted answered it. Each difference is a
// mismatch: counted, kept as text and logged on the client.
void CheckReplay(hy_client* client, const JournalEntry& entry, const Answer& answer,
                 hyl_source source);
// In strict mode a push that no scenario scheduled is a mismatch.
void CheckUnscheduledPush(hy_client* client, const char* type);

}  // namespace halyard
