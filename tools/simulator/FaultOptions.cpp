#include "FaultOptions.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace KRSimulator {

using KRHalyardEmulator::FaultType;
using KRHalyardEmulator::RequestKind;

namespace {

bool ParseKind(const std::string& text, std::vector<RequestKind>* kinds) {
    for (int i = 0; i < KRHalyardEmulator::kRequestKindCount; ++i) {
        const RequestKind kind = static_cast<RequestKind>(i);
        if (text == "all" || text == KRHalyardEmulator::RequestKindName(kind)) {
            kinds->push_back(kind);
        }
    }
    return !kinds->empty();
}

bool ParseWhat(const std::string& text, FaultType* type, int32_t* status) {
    *status = 0;
    if (text == "5xx") {
        *type = FaultType::kServerError;
        return true;
    }
    if (text == "slow") {
        *type = FaultType::kSlow;
        return true;
    }
    if (text == "never") {
        *type = FaultType::kNever;
        return true;
    }
    char* end = nullptr;
    const long code = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || code < 100 || code > 599) {
        return false;
    }
    *type = FaultType::kStatus;
    *status = static_cast<int32_t>(code);
    return true;
}

}  // namespace

const std::vector<FaultPreset>& FaultPresets() {
    static const std::vector<FaultPreset> presets = {
        {"none", "", "no faults: every request is answered at once with 200"},
        {"flaky", "all:5xx=0.05,all:504=0.03,all:400=0.01,all:404=0.01,all:slow=0.1",
         "a backend having a bad day: of every kind of request 5 % get a\n"
         "server error, 3 % 504, 1 % 400, 1 % 404, 10 % answer late"},
        {"outage", "all:5xx=0.3,all:504=0.1,all:never=0.05,all:slow=0.2",
         "a backend falling over: 30 % server errors, 10 % 504, 5 % never\n"
         "answered, 20 % late"},
    };
    return presets;
}

std::string ParseFaultSpec(const std::string& text, std::vector<FaultRule>* rules) {
    const std::size_t colon = text.find(':');
    const std::size_t equals = text.find('=');
    if (colon == std::string::npos || equals == std::string::npos || equals < colon) {
        return "expects KIND:WHAT=P, e.g. keepalive:5xx=0.1";
    }
    std::vector<RequestKind> kinds;
    if (!ParseKind(text.substr(0, colon), &kinds)) {
        return "unknown request kind '" + text.substr(0, colon) +
               "' (ticket, keepalive, accept, decline, start, proof, hopper, all)";
    }
    FaultType type = FaultType::kStatus;
    int32_t status = 0;
    const std::string what = text.substr(colon + 1, equals - colon - 1);
    if (!ParseWhat(what, &type, &status)) {
        return "unknown fault '" + what + "' (5xx, a status code from 100 to 599, slow, never)";
    }
    const std::string value = text.substr(equals + 1);
    char* end = nullptr;
    const double fraction = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !std::isfinite(fraction) || fraction < 0.0 ||
        fraction > 1.0) {
        return "the fraction '" + value + "' must be from 0 to 1";
    }
    for (RequestKind kind : kinds) {
        rules->push_back(FaultRule{kind, type, status, fraction});
    }
    return "";
}

std::string ApplyFaultPreset(const std::string& name, std::vector<FaultRule>* rules) {
    for (const FaultPreset& preset : FaultPresets()) {
        if (name != preset.name) {
            continue;
        }
        std::istringstream specs(preset.specs);
        std::string spec;
        while (std::getline(specs, spec, ',')) {
            const std::string complaint = ParseFaultSpec(spec, rules);
            if (!complaint.empty()) {
                return complaint;
            }
        }
        return "";
    }
    return "unknown preset (none, flaky, outage)";
}

namespace {

std::string WhatText(const FaultRule& rule) {
    std::string what;
    switch (rule.type) {
        case FaultType::kStatus:
            what = std::to_string(rule.status);
            break;
        case FaultType::kServerError:
            what = "5xx";
            break;
        case FaultType::kSlow:
            what = "slow";
            break;
        case FaultType::kNever:
            what = "never";
            break;
    }
    std::ostringstream text;
    text << what << '=' << rule.fraction;
    return text.str();
}

}  // namespace

std::string FaultLabel(RequestKind kind, const KRHalyardEmulator::FaultAnswer& answer) {
    const std::string label = std::string(KRHalyardEmulator::RequestKindName(kind)) + " ";
    if (answer.times_out) {
        return label + "never";
    }
    if (answer.applied) {
        return label + "slow";
    }
    // 504 opens error recovery like 400; every other 5xx is retried.
    const bool retried = answer.status >= 500 && answer.status <= 599 && answer.status != 504;
    return label + (retried ? "5xx" : std::to_string(answer.status));
}

std::vector<std::string> FaultRuleTexts(const std::vector<FaultRule>& rules) {
    std::vector<std::string> texts;
    const std::size_t kinds = KRHalyardEmulator::kRequestKindCount;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const std::string what = WhatText(rules[i]);
        bool all = i + kinds <= rules.size();
        for (std::size_t k = 0; all && k < kinds; ++k) {
            all =
                static_cast<std::size_t>(rules[i + k].kind) == k && WhatText(rules[i + k]) == what;
        }
        if (all) {
            texts.push_back("all:" + what);
            i += kinds - 1;
        } else {
            texts.push_back(std::string(KRHalyardEmulator::RequestKindName(rules[i].kind)) + ":" +
                            what);
        }
    }
    return texts;
}

}  // namespace KRSimulator
