#include "rating/Glicko2Volatility.h"

#include <cmath>

namespace KRMatchmakingSystem {
namespace Rating {

namespace {

// For sensible tau the bracketing search takes a few steps and the Illinois
// iteration a handful more. Extreme tau (far beyond its useful range of about
// 0.3 to 1.2) can keep either loop from ever meeting its condition in
// floating point; the bounds turn that endless loop into a refusal.
constexpr int kMaxBracketSteps = 100000;
constexpr int kMaxIterations = 10000;

// Searches run side by side in groups of this many.
constexpr std::size_t kGroup = 8;

// One search between its bracket ends A and B.
struct Search {
    double a;        // ln(sigma^2)
    double surplus;  // delta^2 - phi^2 - v
    double spread;   // phi^2 + v
    double big_a;
    double big_b;
    double f_a;
    double f_b;
    int iterations;
};

// The function whose root is ln of the new volatility squared.
inline double F(const Search& s, double tau_squared, double x) {
    const double ex = std::exp(x);
    const double denominator = s.spread + ex;
    return ex * (s.surplus - ex) / (2.0 * denominator * denominator) - (x - s.a) / tau_squared;
}

// Sets up the search and its bracket; false when it cannot start.
bool Begin(const VolatilityProblem& p, double tau, Search* s) {
    const double tau_squared = tau * tau;
    const double phi_squared = p.phi * p.phi;
    const double delta_squared = p.delta * p.delta;
    s->a = std::log(p.sigma * p.sigma);
    // A volatility whose square underflows has no logarithm to search around.
    if (!std::isfinite(s->a)) {
        return false;
    }
    s->surplus = delta_squared - phi_squared - p.v;
    s->spread = phi_squared + p.v;
    s->big_a = s->a;
    if (delta_squared > s->spread) {
        s->big_b = std::log(s->surplus);
    } else {
        int k = 1;
        while (F(*s, tau_squared, s->a - k * tau) < 0.0) {
            if (++k > kMaxBracketSteps) {
                return false;
            }
        }
        s->big_b = s->a - k * tau;
    }
    s->f_a = F(*s, tau_squared, s->big_a);
    s->f_b = F(*s, tau_squared, s->big_b);
    s->iterations = 0;
    return true;
}

// One Illinois step, or nothing once the bracket is narrow enough. Returns
// whether a step was taken; *failed when the search ran out of steps.
bool Step(Search* s, double tau_squared, double epsilon, bool* failed) {
    if (!(std::fabs(s->big_b - s->big_a) > epsilon)) {
        return false;
    }
    if (++s->iterations > kMaxIterations) {
        *failed = true;
        return false;
    }
    const double x = s->big_a + (s->big_a - s->big_b) * s->f_a / (s->f_b - s->f_a);
    const double f_x = F(*s, tau_squared, x);
    const bool keep_b = f_x * s->f_b < 0.0;
    s->big_a = keep_b ? s->big_b : s->big_a;
    s->f_a = keep_b ? s->f_b : s->f_a / 2.0;
    s->big_b = x;
    s->f_b = f_x;
    return true;
}

}  // namespace

bool SolveVolatilities(double tau, double epsilon, const VolatilityProblem* problems,
                       std::size_t count, double* sigma_out) {
    const double tau_squared = tau * tau;
    for (std::size_t first = 0; first < count; first += kGroup) {
        const std::size_t size = count - first < kGroup ? count - first : kGroup;
        Search searches[kGroup];
        for (std::size_t i = 0; i < size; ++i) {
            if (!Begin(problems[first + i], tau, &searches[i])) {
                return false;
            }
        }
        bool failed = false;
        for (bool stepped = true; stepped;) {
            stepped = false;
            for (std::size_t i = 0; i < size; ++i) {
                stepped |= Step(&searches[i], tau_squared, epsilon, &failed);
            }
            if (failed) {
                return false;
            }
        }
        for (std::size_t i = 0; i < size; ++i) {
            sigma_out[first + i] = std::exp(searches[i].big_a / 2.0);
        }
    }
    return true;
}

}  // namespace Rating
}  // namespace KRMatchmakingSystem
