#include "Options.h"

#include <new>

#include "Json.h"
#include "LastError.h"

extern "C" {

HY_API hy_options* HY_CALL hy_options_from_json(const hy_json* value) try {
    if (!json_is_object(halyard::Node(value))) {
        return nullptr;
    }
    return new (std::nothrow) hy_options(halyard::SerializeToString(halyard::Node(value)));
} catch (...) {
    return halyard::Caught("hy_options_from_json", nullptr);
}

}  // extern "C"
