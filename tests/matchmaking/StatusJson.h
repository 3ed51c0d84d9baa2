#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace krmm_test {

// The hopper every status built here names.
inline const char* HopperId() {
    return "11111111-2222-4333-8444-555555555555";
}
// 36-character ids for tests: "00000000-0000-4000-8000-" and twelve digits.
std::string TestId(uint32_t n);

// Builds the body of a matchable status as the backend sends it, e.g.
//   StatusJson(matchable, 3, "matched").Team({a, b}).Team({c}).Text()
// Teams and members are given in JSON order. The matchmaker's records hold
// them reversed: team 0 is the last team given, and its member 0 (the match
// leader) is the last member of that team.
class StatusJson {
public:
    StatusJson(std::string matchable_id, uint32_t seq, std::string state);

    StatusJson& HopperSize(uint32_t size) { return Set(hopper_size_, size); }
    StatusJson& MatchId(std::string id) { return Set(match_id_, std::move(id)); }
    // Adds a team; each member's attributes are {"n":"<identity id>"}.
    StatusJson& Team(std::vector<std::string> ids) {
        teams_.push_back(std::move(ids));
        return *this;
    }
    StatusJson& Accepted(std::vector<std::string> ids) { return Set(accepted_, std::move(ids)); }
    StatusJson& Params(std::string json) { return Set(params_, std::move(json)); }
    StatusJson& JoinInfo(std::string json) { return Set(join_info_, std::move(json)); }

    std::string Text() const;

private:
    template <typename T, typename V>
    StatusJson& Set(T& field, V&& value) {
        field = std::forward<V>(value);
        return *this;
    }

    std::string matchable_id_;
    uint32_t seq_;
    std::string state_;
    uint32_t hopper_size_ = 1;
    std::string match_id_;
    std::vector<std::vector<std::string>> teams_;
    std::vector<std::string> accepted_;
    std::string params_;
    std::string join_info_;
};

// The attributes text the matchmaker keeps for a member built by StatusJson.
std::string MemberAttributes(const std::string& identity_id);

}  // namespace krmm_test
