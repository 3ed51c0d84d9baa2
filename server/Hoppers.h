#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace KRHalyardServer {

// A hopper as the service runs it, read from its record.
struct Hopper {
    std::string id;
    std::string name;
    bool enabled = false;
    bool allow_groups = false;
    int64_t max_wait_ms = 0;          // 0: a waiting ticket never expires for waiting
    int32_t players = 0;              // the match size
    std::vector<int32_t> team_sizes;  // in the record's team order
    std::string record;               // the record as the object route serves it

    int32_t LargestTeam() const;
};

// Splits players by the team fractions, each team getting its share rounded
// by largest remainder so that the sizes add up to players. Fractions that
// add up to 0 split evenly.
std::vector<int32_t> TeamSizes(int32_t players, const std::vector<double>& fractions);

class Hoppers {
public:
    // The most players a hopper's match may have.
    static constexpr int32_t kMaxPlayers = 1000;

    // Reads a JSON array of hopper records. Each must pass the matchmaker's
    // own check of a hopper record; ids must differ and none is the nil
    // UUID. False with a message naming the record otherwise.
    static bool Parse(const std::string& json_text, Hoppers* out, std::string* error);
    // The emulator's three hopper ids: 1 player; 2 and 10 players in two
    // halves.
    static Hoppers Defaults();

    const Hopper* Find(const std::string& id) const;
    const std::vector<Hopper>& all() const { return hoppers_; }

private:
    std::vector<Hopper> hoppers_;
};

}  // namespace KRHalyardServer
