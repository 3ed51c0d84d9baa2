#pragma once

#include <string>

#include "Context.h"

namespace KRHalyardServer {

// Who plays whom: the oldest waiting tickets first, a complete party as one
// unit on one team, never one identity twice in a match. Each match is one
// commit that holds only if every ticket in it is still as it was read.
class Formation {
public:
    explicit Formation(Context& context) : context_(context) {}

    // Forms every match the hopper's pool allows now; returns how many.
    int Form(const std::string& hopper_id);

private:
    Context& context_;
};

}  // namespace KRHalyardServer
