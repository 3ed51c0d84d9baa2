#pragma once

#include <string>

#include "CallbackList.h"
#include "Journal.h"
#include "Loopback.h"
#include "halyard.h"

// A backend client: its identity, the functions registered on it, its
// scripted loopback backend and the journal of the requests made on it.
struct hy_client {
    std::string identity;
    halyard::CallbackList<hy_log_func> logFuncs;
    halyard::CallbackList<hy_msg_func> msgFuncs;
    halyard::Loopback loopback;
    halyard::Journal journal;
};
