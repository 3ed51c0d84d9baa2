#pragma once

#include <cstddef>

// The new volatility of a Glicko-2 rating period; internal to the library.
namespace KRMatchmakingSystem {
namespace Rating {

// What one player's volatility search starts from: his deviation phi and
// volatility sigma on the Glicko-2 scale, the variance v of his rating from
// the games and the estimated improvement delta.
struct VolatilityProblem {
    double phi;
    double sigma;
    double v;
    double delta;
};

// Solves every problem by the Illinois variant of regula falsi and writes
// the new volatilities to sigma_out. The searches run side by side, one step
// of each in turn, so that independent searches overlap in the processor;
// each takes exactly the steps it would take alone. False when a search
// cannot start (sigma squared underflows) or does not settle within its
// bounds; sigma_out is then partly written.
bool SolveVolatilities(double tau, double epsilon, const VolatilityProblem* problems,
                       std::size_t count, double* sigma_out);

}  // namespace Rating
}  // namespace KRMatchmakingSystem
