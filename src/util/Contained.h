#pragma once

namespace KRMatchmakingSystem {

// Runs body and lets no exception out: the last defence of every function
// that C code calls (the exports, the functions handed to the client
// library). The only exception the library can meet is the standard
// library's out-of-memory; report is then told (anything it throws is
// dropped) and the call answers fallback.
template <typename Result, typename Body, typename Report>
Result Contained(Result fallback, Body&& body, Report&& report) noexcept {
    try {
        return body();
    } catch (...) {
        try {
            report();
        } catch (...) {
        }
        return fallback;
    }
}

template <typename Body, typename Report>
void Contained(Body&& body, Report&& report) noexcept {
    try {
        body();
    } catch (...) {
        try {
            report();
        } catch (...) {
        }
    }
}

}  // namespace KRMatchmakingSystem
