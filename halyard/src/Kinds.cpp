#include "Kinds.h"

#include <iterator>

#include "LastError.h"

namespace halyard {
namespace {

const char* const kKindNames[HYL_KIND_COUNT] = {
    "ticket",     "keepalive",           "accept",      "cancel",
    "start",      "create_proof",        "check_proof", "create_manual_proof",
    "get_object", "mark_identity_active"};

const char* const kSourceNames[] = {"scripted", "default", "built_in_default", "fault"};

}  // namespace

bool KindFromName(const std::string& name, hyl_kind* kind) {
    for (int i = 0; i < HYL_KIND_COUNT; ++i) {
        if (name == kKindNames[i]) {
            *kind = static_cast<hyl_kind>(i);
            return true;
        }
    }
    return false;
}

const char* SourceName(hyl_source source) {
    const int index = static_cast<int>(source);
    return index >= 0 && index < static_cast<int>(std::size(kSourceNames)) ? kSourceNames[index]
                                                                           : "scripted";
}

bool SourceFromName(const std::string& name, hyl_source* source) {
    for (size_t i = 0; i < std::size(kSourceNames); ++i) {
        if (name == kSourceNames[i]) {
            *source = static_cast<hyl_source>(i);
            return true;
        }
    }
    return false;
}

}  // namespace halyard

extern "C" {

HY_API const char* HY_CALL hyl_kind_name(hyl_kind kind) {
    if (!halyard::IsValidKind(kind)) {
        halyard::Refuse("hyl_kind_name", "request kind out of range");
        return nullptr;
    }
    return halyard::kKindNames[kind];
}

}  // extern "C"
