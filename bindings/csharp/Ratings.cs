// The rating records, laid out exactly as the C structures (checked against
// the C compiler's sizes and offsets by the binding's test), and the three
// updates over teams of players held in managed arrays.
using System;
using System.Runtime.InteropServices;

namespace KRMatchmakingSystem {

    [StructLayout(LayoutKind.Sequential)]
    public struct EloPlayer {
        public double Rating;   // read and overwritten
        public double KFactor;  // read only
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct EloTeam {
        public uint Rank;  // lower rank wins; equal ranks draw
        public IntPtr Players;
        public uint PlayerCount;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct Glicko2Player {
        public double Rating;
        public double Deviation;
        public double Volatility;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct Glicko2Team {
        public uint Rank;
        public IntPtr Players;
        public uint PlayerCount;
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct BayesianPlayer {
        public double Mu;
        public double Sigma;  // standard deviation, not variance
    }

    [StructLayout(LayoutKind.Sequential)]
    public struct BayesianTeam {
        public uint Rank;
        public IntPtr Players;
        public uint PlayerCount;
    }

    // Team i has ranks[i] and the players of players[i], which are updated in
    // place. The results are the library's: see its header for which inputs are
    // refused (false, nothing changed).
    public static class Ratings {
        public static bool UpdateElo(uint[] ranks, EloPlayer[][] players) {
            return Update(ranks, players,
                          (rank, roster, count) =>
                              new EloTeam { Rank = rank, Players = roster, PlayerCount = count },
                          teams => NativeMethods.krmm_rating_elo_update(teams, (uint)teams.Length));
        }

        public static bool UpdateGlicko2(double tau, uint[] ranks, Glicko2Player[][] players) {
            return Update(
                ranks, players,
                (rank, roster, count) =>
                    new Glicko2Team { Rank = rank, Players = roster, PlayerCount = count },
                teams => NativeMethods.krmm_rating_glicko2_update(tau, teams, (uint)teams.Length));
        }

        public static bool UpdateBayesian(double betaSquared, uint[] ranks,
                                          BayesianPlayer[][] players) {
            return Update(ranks, players,
                          (rank, roster, count) => new BayesianTeam { Rank = rank, Players = roster,
                                                                      PlayerCount = count },
                          teams => NativeMethods.krmm_rating_bayesian_update(betaSquared, teams,
                                                                             (uint)teams.Length));
        }

        // Pins every roster for the call so the team records can point into it.
        private static bool Update<TTeam, TPlayer>(uint[] ranks, TPlayer[][] players,
                                                   Func<uint, IntPtr, uint, TTeam> team,
                                                   Func<TTeam[], int> update)
            where TTeam : struct
            where TPlayer : struct {
            if (ranks == null || players == null || ranks.Length != players.Length) {
                throw new ArgumentException("one rank per team");
            }
            var pins = new GCHandle[players.Length];
            var teams = new TTeam[players.Length];
            try {
                for (int i = 0; i < players.Length; ++i) {
                    TPlayer[] roster = players[i] ?? new TPlayer[0];
                    pins[i] = GCHandle.Alloc(roster, GCHandleType.Pinned);
                    teams[i] = team(ranks[i],
                                    roster.Length > 0 ? pins[i].AddrOfPinnedObject() : IntPtr.Zero,
                                    (uint)roster.Length);
                }
                return update(teams) != 0;
            } finally {
                foreach (GCHandle pin in pins) {
                    if (pin.IsAllocated) {
                        pin.Free();
                    }
                }
            }
        }
    }

}  // namespace KRMatchmakingSystem
