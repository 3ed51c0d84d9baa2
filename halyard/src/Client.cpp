#include "Client.h"

#include <cstring>
#include <memory>

#include "LastError.h"
#include "Uuid.h"

extern "C" {

HY_API hy_client* HY_CALL hy_client_create(const char* identity_id) try {
    if (identity_id != nullptr && std::strlen(identity_id) != halyard::kUuidTextLength) {
        halyard::Refuse("hy_client_create", "the identity id is not 36 characters long");
        return nullptr;
    }
    auto client = std::make_unique<hy_client>();
    client->identity = identity_id != nullptr ? identity_id : halyard::NewUuidText();
    return client.release();
} catch (...) {
    return halyard::Caught("hy_client_create", nullptr);
}

HY_API void HY_CALL hy_client_free(hy_client* client) {
    delete client;
}

HY_API const char* HY_CALL hy_client_get_identity_id(hy_client* client) {
    return client != nullptr ? client->identity.c_str() : nullptr;
}

HY_API int HY_CALL hy_client_add_log_func(hy_client* client, hy_log_func func,
                                          void* user_data) try {
    if (client == nullptr || func == nullptr) {
        return -1;
    }
    client->logFuncs.Add(func, user_data);
    return 0;
} catch (...) {
    return halyard::Caught("hy_client_add_log_func");
}

HY_API int HY_CALL hy_client_add_msg_func(hy_client* client, hy_msg_func func,
                                          void* user_data) try {
    if (client == nullptr || func == nullptr) {
        return -1;
    }
    client->msgFuncs.Add(func, user_data);
    return 0;
} catch (...) {
    return halyard::Caught("hy_client_add_msg_func");
}

HY_API void HY_CALL hy_client_remove_log_func(hy_client* client, hy_log_func func) {
    if (client != nullptr) {
        client->logFuncs.Remove(func);
    }
}

HY_API void HY_CALL hy_client_remove_msg_func(hy_client* client, hy_msg_func func) {
    if (client != nullptr) {
        client->msgFuncs.Remove(func);
    }
}

}  // extern "C"
