#pragma once

// One player's exchanges with the in-process emulator, kept as a loopback
// scenario (halyard's recorder) so that a simulated session replays as a
// fixture for a test on the loopback (halyard/README.md, record and replay).
//
// What the emulator does not show is not recorded: a cancel's soft flag
// (written as 0) and proof requests (the emulator answers them without a
// task). A request the emulator never answered is written with status -1,
// which the loopback replays as a response with that status, not a timeout.

#include <string>

#include "emulator/Faults.h"
#include "halyard.h"

namespace KRSimulator {

class PlayerRecording {
public:
    // Observes the emulator's exchanges of client from now on until
    // destroyed. join_info: what the player starts its matches with ("" for
    // none), which the emulator does not keep.
    PlayerRecording(hy_client* client, std::string join_info);
    ~PlayerRecording();

    PlayerRecording(const PlayerRecording&) = delete;
    PlayerRecording& operator=(const PlayerRecording&) = delete;

    // The scenario text (JSON); a player that never asked anything gives an
    // empty session.
    std::string Scenario() const;

private:
    static void OnExchange(const KRHalyardEmulator::Exchange& exchange, void* user);

    hy_client* client_;
    std::string join_info_;
    // Made at the player's first exchange: its ticket request gave it an
    // identity by then, and asking earlier would draw one out of turn.
    hyl_recorder* recorder_ = nullptr;
};

}  // namespace KRSimulator
