#include "StatusJson.h"

#include <cstdio>
#include <utility>

namespace krmm_test {

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string IdArray(const std::vector<std::string>& ids) {
    std::string out = "[";
    for (size_t i = 0; i < ids.size(); ++i) {
        out += (i ? "," : "") + Quoted(ids[i]);
    }
    return out + "]";
}

}  // namespace

std::string TestId(uint32_t n) {
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "00000000-0000-4000-8000-%012u", n);
    return buffer;
}

std::string MemberAttributes(const std::string& identity_id) {
    return "{\"n\":" + Quoted(identity_id) + "}";
}

StatusJson::StatusJson(std::string matchable_id, uint32_t seq, std::string state)
    : matchable_id_(std::move(matchable_id)), seq_(seq), state_(std::move(state)) {}

std::string StatusJson::Text() const {
    std::string out =
        "{\"seq\":" + std::to_string(seq_) + ",\"matchable_id\":" + Quoted(matchable_id_) +
        ",\"hopper_id\":" + Quoted(HopperId()) + ",\"state\":" + Quoted(state_) +
        ",\"estimated_hopper_size\":" + std::to_string(hopper_size_) + ",\"group_size\":1";
    const bool has_match = !match_id_.empty() || !teams_.empty() || !accepted_.empty() ||
                           !params_.empty() || !join_info_.empty();
    if (has_match) {
        out += ",\"match\":{\"id\":" + Quoted(match_id_) + ",\"accepted\":" + IdArray(accepted_);
        if (!params_.empty()) {
            out += ",\"params\":" + params_;
        }
        if (!join_info_.empty()) {
            out += ",\"join_info\":" + join_info_;
        }
        out += ",\"teams\":[";
        for (size_t t = 0; t < teams_.size(); ++t) {
            out += t ? ",[" : "[";
            for (size_t m = 0; m < teams_[t].size(); ++m) {
                out += (m ? "," : "") + std::string("{\"identity_id\":") + Quoted(teams_[t][m]) +
                       ",\"attributes\":" + MemberAttributes(teams_[t][m]) + "}";
            }
            out += "]";
        }
        out += "]}";
    }
    return out + "}";
}

}  // namespace krmm_test
