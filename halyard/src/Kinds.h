#pragma once

#include <string>

#include "halyard.h"

namespace halyard {

inline bool IsValidKind(hyl_kind kind) {
    return static_cast<int>(kind) >= 0 && static_cast<int>(kind) < HYL_KIND_COUNT;
}

// The kind named name (as hyl_kind_name writes it); false when none is.
bool KindFromName(const std::string& name, hyl_kind* kind);

// "scripted", "default", "built_in_default" or "fault"; SourceFromName reads them back.
const char* SourceName(hyl_source source);
bool SourceFromName(const std::string& name, hyl_source* source);

}  // namespace halyard
