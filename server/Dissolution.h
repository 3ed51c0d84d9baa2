#pragma once

#include <string>

#include "Changes.h"

namespace KRHalyardServer {

enum class DissolveCause {
    kAcceptWindow,  // not everyone accepted in time
    kStartWindow,   // the leader did not start in time
    kMemberLeft,    // a member cancelled or expired
    kSoftCancel,    // a member asked for new opponents without leaving
};

const char* DissolveReason(DissolveCause cause);

// Stages the end of a match that did not start. On a window's end members who
// accepted go back to the front of the pool and the others are cancelled;
// when a member leaves (state: expired or cancelled) everyone else goes back;
// a soft cancel sends every member back. False when a member ticket is gone
// from the store (the caller reads again).
bool StageDissolution(Context& context, const Match& match, DissolveCause cause,
                      const std::string& leaver, TicketState leaver_state, Changes* changes);

}  // namespace KRHalyardServer
