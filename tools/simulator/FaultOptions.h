#pragma once

// The backend faults of a session as the command line spells them:
// KIND:WHAT=P, and named presets made of such specs.

#include <string>
#include <vector>

#include "emulator/Faults.h"

namespace KRSimulator {

using KRHalyardEmulator::FaultRule;

struct FaultPreset {
    const char* name;
    const char* specs;    // comma-separated KIND:WHAT=P
    const char* meaning;  // lines of at most 64 characters
};
// none, flaky, outage.
const std::vector<FaultPreset>& FaultPresets();

// Parses one KIND:WHAT=P and appends its rules (KIND "all" gives one rule
// per request kind). Returns the complaint, or "" when it is fine.
//   KIND  ticket, keepalive, accept, decline, start, proof, hopper, all
//   WHAT  5xx (a code drawn from 500-599), a status code 100-599, slow, never
//   P     fraction of the kind's requests, 0 to 1
std::string ParseFaultSpec(const std::string& text, std::vector<FaultRule>* rules);
// Appends the rules of a preset; the complaint names the presets.
std::string ApplyFaultPreset(const std::string& name, std::vector<FaultRule>* rules);

// How a fault answered one request, for the tally of faults injected:
// "keepalive 5xx" for a retried server error, "keepalive 504" and
// "ticket 404" for codes the matchmaker treats apart, "accept slow",
// "start never".
std::string FaultLabel(KRHalyardEmulator::RequestKind kind,
                       const KRHalyardEmulator::FaultAnswer& answer);

// "keepalive:5xx=0.05"; the seven rules of one "all:" spec in a row are
// written back as "all:5xx=0.05".
std::vector<std::string> FaultRuleTexts(const std::vector<FaultRule>& rules);

}  // namespace KRSimulator
