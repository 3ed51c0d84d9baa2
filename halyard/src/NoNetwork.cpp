// Built where libcurl is not found: networked clients are refused with a
// reason, so a game learns at once why it cannot connect.
#include "Transport.h"

namespace halyard {

std::unique_ptr<Transport> OpenTransport(const char* /*baseUrls*/, const char* /*token*/,
                                         std::string* /*identity*/, std::string* reason) {
    *reason = "this build of halyard has no network transport (built without libcurl)";
    return nullptr;
}

}  // namespace halyard
