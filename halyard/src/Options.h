#pragma once

#include <string>

#include "LiveCounts.h"

// Request options: a copy of the JSON object they were made from, kept as
// compact text until a request consumes them.
struct hy_options {
    explicit hy_options(std::string json) : json(std::move(json)) {
        halyard::CountCreated(halyard::LiveKind::Options);
    }
    ~hy_options() { halyard::CountFreed(halyard::LiveKind::Options); }
    hy_options(const hy_options&) = delete;
    hy_options& operator=(const hy_options&) = delete;

    std::string json;
};
