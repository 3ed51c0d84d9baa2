#pragma once

#include "Context.h"
#include "Formation.h"

namespace KRHalyardServer {

// The service's timers, all read from the store's due times: a ticket
// without keep-alives expires, and so does one that waited longer than its
// hopper allows; a match whose accept or start window ends dissolves;
// finished tickets and started matches are dropped once retained long
// enough. Remembered answers are forgotten after their time.
class Clocks {
public:
    Clocks(Context& context, Formation& formation) : context_(context), formation_(formation) {}

    // Handles whatever is due now; returns how many records it changed.
    int Tick();

private:
    bool TicketDue(const std::string& id, std::vector<std::string>* requeued_hoppers);
    bool MatchDue(const std::string& id, std::vector<std::string>* requeued_hoppers);

    Context& context_;
    Formation& formation_;
};

}  // namespace KRHalyardServer
