// The C# binding driven through the real library under Mono: a whole match on
// the loopback from a scenario file and one on the emulator, every accessor,
// the rating updates against a C caller, forced collections between frames,
// disposal from inside an event handler, and no native object left alive.
// Usage: mono BindingTest.exe RATING_REFERENCE SCENARIO [SECTION]
// (SECTION: run only the sections whose name contains it)
// Prints a line per failed check and ends with "N passed, M failed".
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;
using KRMatchmakingSystem;

internal static class BindingTest {
    private const string Hopper = "11111111-2222-4333-8444-555555555555";
    // The emulator's hoppers that match one and two players.
    private const string EmulatorSolo = "dcb02466-a5de-5d58-8ce3-552e6c7747ae";
    private const string EmulatorDuel = "0e6976d1-1655-5da5-8354-3d3a38537aed";
    private const string Me = "aaaaaaaa-0000-4000-8000-000000000001";
    private const string Ticket = "7e57ab1e-0000-4000-8000-00000000000b";
    private const string JoinInfo = "{\"server\":\"10.0.0.7:7777\",\"lobby\":\"Süd\"}";
    private const string InvalidIndex = "<GetMatchInfoTeamMemberId: invalid team or member index>";

    private static int passed, failed;
    private static string only;
    // The emulator keeps a status of every client whose match started, as a
    // JSON value, for the rest of the process.
    private static uint emulatorSnapshots;

    private static int Main(string[] args) {
        if (args.Length < 2 || args.Length > 3) {
            Console.Error.WriteLine("usage: BindingTest.exe RATING_REFERENCE SCENARIO [SECTION]");
            return 2;
        }
        only = args.Length == 3 ? args[2] : "";
        Section("enumerations", Enumerations);
        Section("record layout", () => Layout(args[0]));
        Section("ratings", () => RatingsAsInC(args[0]));
        Section("new matchmaker", NewMatchmaker);
        Section("loopback match", () => LoopbackMatch(args[1]));
        Section("emulator match", EmulatorMatch);
        Section("handler exception", HandlerException);
        Section("backend switch", BackendSwitch);
        Section("abandoned objects", AbandonedObjects);
        Section("idle frames", IdleFramesAllocateNothing);
        LiveObjects live = HalyardClient.LiveObjects;
        Check(live.Tasks + live.Responses + live.Options == 0 && live.Json == emulatorSnapshots,
              "nothing alive at the end but the emulator's " + emulatorSnapshots +
                  " snapshots, found " + live);
        Console.WriteLine("{0} passed, {1} failed", passed, failed);
        return failed == 0 ? 0 : 1;
    }

    private static void Section(string name, Action body) {
        if (!name.Contains(only)) {
            return;
        }
        try {
            body();
        } catch (Exception exception) {
            Check(false, name + " threw " + exception);
        }
    }

    private static void Check(bool ok, string what) {
        if (ok) {
            ++passed;
        } else {
            ++failed;
            Console.WriteLine("FAILED: " + what);
        }
    }

    private static void Equal<T>(T expected, T actual, string what) {
        Check(EqualityComparer<T>.Default.Equals(expected, actual),
              string.Format("{0}: expected '{1}', got '{2}'", what, expected, actual));
    }

    private static void Throws<TException>(Action action, string what)
        where TException : Exception {
        try {
            action();
            Check(false, what + ": no " + typeof(TException).Name);
        } catch (TException) {
            Check(true, what);
        }
    }

    // A keep-alive not answered within the interval is given up, and the
    // shipped library runs on the real clock: the interval spans a few frames,
    // so a match takes a few of them, well under a second.
    private const uint Heartbeat = 25;

    // Frames until done, for at most 20 s of real time (the frames do not
    // sleep; a collection per frame paces them).
    private static void PlayUntil(Func<bool> done, params Matchmaker[] matchmakers) {
        Stopwatch clock = Stopwatch.StartNew();
        while (!done() && clock.Elapsed < TimeSpan.FromSeconds(20)) {
            Frame(matchmakers);
        }
    }

    // One frame of each live matchmaker, then a full collection: a callback
    // the runtime had let go would crash the next frame.
    private static void Frame(params Matchmaker[] matchmakers) {
        foreach (Matchmaker matchmaker in matchmakers) {
            if (!matchmaker.IsDisposed) {
                matchmaker.Process();
            }
        }
        GC.Collect();
        GC.WaitForPendingFinalizers();
    }

    // ---- The enumerations carry the library's values ----

    private static void Enumerations() {
        foreach (MatchmakingState state in Enum.GetValues(typeof(MatchmakingState))) {
            Equal("MMS_" + Snake(state.ToString()), Matchmaker.NameOf(state), "state " + state);
        }
        foreach (MatchmakingError error in Enum.GetValues(typeof(MatchmakingError))) {
            string expected = error == MatchmakingError.None ? "<invalid error code>"
                                                             : "MME_" + Snake(error.ToString());
            Equal(expected, Matchmaker.NameOf(error), "error " + error);
        }
        foreach (LogType type in Enum.GetValues(typeof(LogType))) {
            Equal(type.ToString().ToUpperInvariant(), Matchmaker.NameOf(type), "log type " + type);
        }
    }

    // "InitialKeepalive" -> "INITIAL_KEEPALIVE".
    private static string Snake(string name) {
        var snake = new StringBuilder();
        foreach (char c in name) {
            if (char.IsUpper(c) && snake.Length > 0) {
                snake.Append('_');
            }
            snake.Append(char.ToUpperInvariant(c));
        }
        return snake.ToString();
    }

    // ---- Rating records and updates, compared with a C caller ----

    private static string RunReference(string reference, string arguments, string input) {
        var start = new ProcessStartInfo(reference, arguments) {
            UseShellExecute = false, RedirectStandardInput = true, RedirectStandardOutput = true
        };
        using (Process process = Process.Start(start)) {
            // Read while writing: a full pipe would otherwise block both sides.
            var output = process.StandardOutput.ReadToEndAsync();
            process.StandardInput.Write(input);
            process.StandardInput.Close();
            process.WaitForExit();
            Equal(0, process.ExitCode, reference + " " + arguments + " exit code");
            return output.Result;
        }
    }

    private static void Layout(string reference) {
        var records = new Dictionary<string, Type> { { "EloPlayer", typeof(EloPlayer) },
                                                     { "EloTeam", typeof(EloTeam) },
                                                     { "Glicko2Player", typeof(Glicko2Player) },
                                                     { "Glicko2Team", typeof(Glicko2Team) },
                                                     { "BayesianPlayer", typeof(BayesianPlayer) },
                                                     { "BayesianTeam", typeof(BayesianTeam) } };
        string[] lines = RunReference(reference, "layout", "")
                             .Split(new[] { '\n' }, StringSplitOptions.RemoveEmptyEntries);
        Equal(records.Count, lines.Length, "records the C side lays out");
        foreach (string line in lines) {
            string[] c = line.Split(' ');
            Type type = records[c[0]];
            var managed = new List<string> { Marshal.SizeOf(type).ToString() };
            foreach (var field in type.GetFields().OrderBy(
                         f => (long)Marshal.OffsetOf(type, f.Name))) {
                managed.Add(((long)Marshal.OffsetOf(type, field.Name)).ToString());
            }
            Equal(string.Join(" ", c.Skip(1)), string.Join(" ", managed),
                  c[0] + " size and offsets");
        }
    }

    private sealed class RatedMatch {
        public string Method;
        public double Parameter;
        public uint[] Ranks;
        public double[][] Fields;  // per team, the players' fields in record order

        public string Line() {
            var line = new StringBuilder(Method + " " + Hex(Parameter) + " " + Ranks.Length);
            for (int team = 0; team < Ranks.Length; ++team) {
                line.Append(" " + Ranks[team] + " " + Fields[team].Length / PerPlayer);
                foreach (double field in Fields[team]) {
                    line.Append(" " + Hex(field));
                }
            }
            return line.ToString();
        }

        public int PerPlayer {
            get { return Method == "glicko2" ? 3 : 2; }
        }
    }

    private static string Hex(double value) {
        return BitConverter.DoubleToInt64Bits(value).ToString("x16");
    }

    // The result and the fields after the update, as the C side prints them.
    private static string RateThroughBinding(RatedMatch match) {
        double[][] f = match.Fields;
        bool result;
        IEnumerable<double> after;
        if (match.Method == "elo") {
            EloPlayer[][] teams =
                f.Select(t => Enumerable.Range(0, t.Length / 2)
                                  .Select(i => new EloPlayer { Rating = t[2 * i],
                                                               KFactor = t[2 * i + 1] })
                                  .ToArray())
                    .ToArray();
            result = Ratings.UpdateElo(match.Ranks, teams);
            after = teams.SelectMany(t => t).SelectMany(p => new[] { p.Rating, p.KFactor });
        } else if (match.Method == "glicko2") {
            Glicko2Player[][] teams =
                f.Select(t => Enumerable.Range(0, t.Length / 3)
                                  .Select(i => new Glicko2Player { Rating = t[3 * i],
                                                                   Deviation = t[3 * i + 1],
                                                                   Volatility = t[3 * i + 2] })
                                  .ToArray())
                    .ToArray();
            result = Ratings.UpdateGlicko2(match.Parameter, match.Ranks, teams);
            after = teams.SelectMany(t => t).SelectMany(
                p => new[] { p.Rating, p.Deviation, p.Volatility });
        } else {
            BayesianPlayer[][] teams =
                f.Select(t => Enumerable.Range(0, t.Length / 2)
                                  .Select(i => new BayesianPlayer { Mu = t[2 * i],
                                                                    Sigma = t[2 * i + 1] })
                                  .ToArray())
                    .ToArray();
            result = Ratings.UpdateBayesian(match.Parameter, match.Ranks, teams);
            after = teams.SelectMany(t => t).SelectMany(p => new[] { p.Mu, p.Sigma });
        }
        return (result ? "1" : "0") + string.Concat(after.Select(v => " " + Hex(v)));
    }

    private static RatedMatch Rated(string method, double parameter, uint[] ranks,
                                    params double[][] fields) {
        return new RatedMatch { Method = method, Parameter = parameter, Ranks = ranks,
                                Fields = fields };
    }

    // Worked examples, refusals, and seeded matches of every shape, up to
    // rosters larger than any fixed scratch space.
    private static List<RatedMatch> Matches() {
        var matches = new List<RatedMatch> {
            Rated("elo", 0, new uint[] { 1, 2 }, new[] { 1500.0, 32 }, new[] { 1500.0, 32 }),
            Rated("elo", 0, new uint[] { 1, 1 }, new[] { 1600.0, 32, 1400, 16 },
                  new[] { 1700.0, 24 }),
            Rated("elo", 0, new uint[] { 1 }, new[] { 1500.0, 32 }),
            Rated("elo", 0, new uint[] { 1, 2, 3 }, new[] { 1.0, 2 }, new[] { 3.0, 4 },
                  new[] { 5.0, 6 }),
            Rated("glicko2", 0.5, new uint[] { 1, 2 }, new[] { 1500, 350, 0.06 },
                  new[] { 1500, 350, 0.06 }),
            Rated("glicko2", 0.5, new uint[] { 1, 2 }, new[] { 1500, 350, 0.06 }, new double[0]),
            Rated("glicko2", 0.0, new uint[] { 1, 2 }, new[] { 1500, 350, 0.06 },
                  new[] { 1500, 350, 0.06 }),
            Rated("glicko2", 0.5, new uint[] { 2, 1 }, new[] { double.NaN, 350, 0.06 },
                  new[] { 1500, 350, 0.06 }),
            Rated("bayesian", 17.3611, new uint[] { 1, 2, 2 }, new[] { 25, 25 / 3.0 },
                  new[] { 25, 25 / 3.0 }, new[] { 25, 25 / 3.0 }),
            Rated("bayesian", 17.3611, new uint[] { 1, 2 }, new[] { 25, 25 / 3.0 }, new double[0]),
        };
        var random = new Random(24);
        foreach (int[] shape in new[] { new[] { 1, 1 }, new[] { 3, 5 }, new[] { 40, 40 },
                                        new[] { 2, 3, 4, 1 } }) {
            foreach (string method in new[] { "elo", "glicko2", "bayesian" }) {
                if (shape.Length > 2 && method != "bayesian") {
                    continue;
                }
                var match = Rated(
                    method,
                    method == "glicko2" ? 0.3 + random.NextDouble() : 10 + 20 * random.NextDouble(),
                    shape
                        .Select(
                            _ => (uint)random.Next(1, 3))
                        .ToArray());
                match.Fields =
                    shape
                        .Select(count =>
                                    Enumerable.Range(0, count * match.PerPlayer)
                                        .Select(i => Field(method, i % match.PerPlayer, random))
                                        .ToArray())
                        .ToArray();
                matches.Add(match);
            }
        }
        return matches;
    }

    private static double Field(string method, int field, Random random) {
        if (method == "elo") {
            return field == 0 ? 1000 + 1000 * random.NextDouble() : 10 + 30 * random.NextDouble();
        }
        if (method == "glicko2") {
            return new[] { 1000 + 1000 * random.NextDouble(), 30 + 320 * random.NextDouble(),
                           0.03 + 0.06 * random.NextDouble() }[field];
        }
        return field == 0 ? 10 + 30 * random.NextDouble() : 1 + 8 * random.NextDouble();
    }

    private static void RatingsAsInC(string reference) {
        List<RatedMatch> matches = Matches();
        string input = string.Concat(matches.Select(m => m.Line() + "\n"));
        string[] expected = RunReference(reference, "", input).Split('\n');
        for (int i = 0; i < matches.Count; ++i) {
            string name = string.Format("{0} match {1} ({2} teams)", matches[i].Method, i,
                                        matches[i].Ranks.Length);
            Equal(expected[i], RateThroughBinding(matches[i]), name + " as rated from C");
        }
        Equal(5, expected.Count(line => line.StartsWith("0")), "refused matches");
    }

    // ---- A matchmaker without a client ----

    private static void NewMatchmaker() {
        using (var matchmaker =
                   new Matchmaker(null, "Spieler Jürgen", MatchmakerFlags.AutoAccept)) {
            Equal("Spieler Jürgen", matchmaker.Name, "name through UTF-8");
            Check(matchmaker.IsIdle && !matchmaker.Process(), "idle and stays so");
            Equal(IntPtr.Zero, matchmaker.HalyardClientPointer, "no client");
            Check(matchmaker.HasFlags(MatchmakerFlags.AutoAccept | MatchmakerFlags.AutoStart) &&
                      !matchmaker.HasFlags(MatchmakerFlags.AutoStart),
                  "flags tested by mask");
            matchmaker.Flags = MatchmakerFlags.LogAll;
            Equal(MatchmakerFlags.LogAll, matchmaker.Flags, "flags read back");

            // Distinct values, so that two swapped imports show.
            var timeouts = new[] {
                new { Get = (Func<uint>)(() => matchmaker.HeartbeatInterval),
                      Set = (Action<uint>)(v => matchmaker.HeartbeatInterval = v),
                      Default = 17000u },
                new { Get = (Func<uint>)(() => matchmaker.MatchmakingTimeout),
                      Set = (Action<uint>)(v => matchmaker.MatchmakingTimeout = v),
                      Default = 10800000u },
                new { Get = (Func<uint>)(() => matchmaker.AcceptTimeout),
                      Set = (Action<uint>)(v => matchmaker.AcceptTimeout = v), Default = 20000u },
                new { Get = (Func<uint>)(() => matchmaker.StartTimeout),
                      Set = (Action<uint>)(v => matchmaker.StartTimeout = v), Default = 20000u },
                new { Get = (Func<uint>)(() => matchmaker.ErrorRecoverTimeout),
                      Set = (Action<uint>)(v => matchmaker.ErrorRecoverTimeout = v),
                      Default = 10000u },
            };
            for (int i = 0; i < timeouts.Length; ++i) {
                Equal(timeouts[i].Default, timeouts[i].Get(), "default of duration " + i);
                timeouts[i].Set(1000u + (uint)i);
            }
            for (int i = 0; i < timeouts.Length; ++i) {
                Equal(1000u + (uint)i, timeouts[i].Get(), "duration " + i + " read back");
            }

            Equal("",
                  matchmaker.MatchId + matchmaker.MatchableId + matchmaker.HopperId +
                      matchmaker.GroupId + matchmaker.MatchParamsJson + matchmaker.JoinInfoJson +
                      matchmaker.UserAttributesJson(1),
                  "texts before any status");
            Equal(0L,
                  (long)matchmaker.EstimatedHopperSize + matchmaker.UserCount +
                      matchmaker.AcceptedUserCount + matchmaker.TeamCount +
                      matchmaker.TeamMemberCount(0),
                  "counts before any status");
            Equal(InvalidIndex, matchmaker.TeamMemberId(0, 0), "member of no match");

            var errors = new List<string>();
            matchmaker.Error += (error, text) => errors.Add(error + ":" + (text ?? "null"));
            Check(!matchmaker.StopMatchmaking(), "nothing to stop");
            Equal("NotMatchmaking:null", string.Join(",", errors), "error event");
            Equal(MatchmakingError.NotMatchmaking, matchmaker.ErrorCode, "error code");
            matchmaker.Cleanup();
            matchmaker.Restart();
            Check(!matchmaker.StopMatchmaking() && errors.Count == 2,
                  "events go on after a clean-up and a restart");
        }
    }

    // ---- A whole match on the loopback, from a scenario file ----

    private static void LoopbackMatch(string scenario) {
        using (HalyardClient client = HalyardClient.CreateLoopback()) {
            client.LoadScenario(scenario);
            using (var matchmaker =
                       new Matchmaker(client, "Spieler Jürgen", MatchmakerFlags.LogInfo)) {
                PlayOnLoopback(client, matchmaker);
            }
            Equal(0u, client.PendingPushes, "every scenario push delivered");
            Equal(0u, client.ReplayMismatches, "every request as the scenario expects it");
            Equal("1 1 1 1 1",
                  string.Join(
                      " ", new[] { RequestKind.GetObject, RequestKind.Ticket,
                                   RequestKind.CreateProof, RequestKind.Accept, RequestKind.Start }
                               .Select(k => client.JournalCountOf(k))),
                  "one request of each command");
        }
    }

    private static void PlayOnLoopback(HalyardClient client, Matchmaker matchmaker) {
        matchmaker.HeartbeatInterval = Heartbeat;
        var states = new List<MatchmakingState>();
        var idle = new List<bool>();
        var hopperSizes = new List<uint>();
        var errors = new List<MatchmakingError>();
        string proof = null, seen = null;
        int lines = 0, namedLines = 0;
        matchmaker.StateChanged += state => {
            states.Add(state);
            if (state == MatchmakingState.Matched) {
                Check(matchmaker.CreateProof(), "proof requested in a match");
                matchmaker.AcceptMatch();
            } else if (state == MatchmakingState.AcceptedLeader) {
                matchmaker.StartMatch(JoinInfo);
            } else if (state == MatchmakingState.MatchStarted) {
                seen = ReadMatch(matchmaker);
            }
        };
        matchmaker.IdleChanged += idle.Add;
        matchmaker.HopperSizeChanged += hopperSizes.Add;
        matchmaker.Error += (error, text) => errors.Add(error);
        matchmaker.ProofReceived += (text, expiry, response) => proof =
            text + " " + expiry + " " + response.Contains("c0ffee-proof");
        matchmaker.LogLine += (type, line) => {
            ++lines;
            if (type == LogType.Nfo && line.Contains("[Spieler Jürgen][NFO][")) {
                ++namedLines;
            }
        };

        matchmaker.RequestHopperInfo(Hopper);
        PlayUntil(() => matchmaker.HasHopperInfo(Hopper), matchmaker);
        Check(matchmaker.HasHopperInfo(Hopper), "hopper information arrived");
        Check(matchmaker.StartMatchmaking(Hopper, null, null, 1, "{\"name\":\"Ada\"}", null),
              "matchmaking started");
        Check(!matchmaker.StartMatchmaking(Hopper), "a second start is refused");
        bool pushed = false;
        PlayUntil(() => {
            if (!pushed && states.LastOrDefault() == MatchmakingState.Matching) {
                // Same sequence number, new estimate: a hopper size message.
                client.PushMessage("backend", "matchmaking_update",
                                   "{\"seq\":2,\"matchable_id\":\"" + Ticket +
                                       "\",\"hopper_id\":\"" + Hopper +
                                       "\",\"state\":\"matching\",\"estimated_hopper_size\":7}");
                pushed = true;
            }
            return seen != null && matchmaker.IsIdle;
        }, matchmaker);

        Equal("RequestTicket InitialKeepalive InitialWaiting Matching Matched AcceptMatch " +
                  "AcceptedLeader MatchStartedWait MatchStarted Restart Init Idle",
              string.Join(" ", states), "the road to the match and back");
        Equal("False True", string.Join(" ", idle), "idle left and reached");
        Equal(MatchmakingError.AlreadyMatchmaking, errors.Single(), "the one error");
        Check(hopperSizes.Contains(7),
              "the pushed hopper size arrived: " + string.Join(",", hopperSizes));
        Equal("c0ffee-proof -1893456000 True", proof, "proof with a negative expiry");
        Check(namedLines > 0 && namedLines == lines, "UTF-8 log lines of the named matchmaker");
        Equal(
            string.Join("|", Me, Ticket, Hopper, "Grüppchen",
                        "3a7c0000-0000-4000-8000-0000000000bb", "{\"map\":\"Ünterwald\"}", JoinInfo,
                        "0", "3 3 2", "1 2 0", Me, "bbbbbbbb-0000-4000-8000-000000000002",
                        "cccccccc-0000-4000-8000-000000000003", InvalidIndex, InvalidIndex,
                        "{\"name\":\"Ada\"}", "{\"name\":\"Bjørn\"}", "{\"name\":\"Chloé\"}", ""),
            seen, "the started match, read from its handler");
        Equal("", matchmaker.MatchId, "the restart cleared the match");
    }

    // Every match accessor, in the order PlayOnLoopback expects.
    private static string ReadMatch(Matchmaker matchmaker) {
        return string.Join(
            "|", matchmaker.IdentityId, matchmaker.MatchableId, matchmaker.HopperId,
            matchmaker.GroupId, matchmaker.MatchId, matchmaker.MatchParamsJson,
            matchmaker.JoinInfoJson, matchmaker.EstimatedHopperSize,
            matchmaker.UserCount + " " + matchmaker.AcceptedUserCount + " " + matchmaker.TeamCount,
            matchmaker.TeamMemberCount(0) + " " + matchmaker.TeamMemberCount(1) + " " +
                matchmaker.TeamMemberCount(-1),
            matchmaker.TeamMemberId(0, 0), matchmaker.TeamMemberId(1, 0),
            matchmaker.TeamMemberId(1, 1), matchmaker.TeamMemberId(1, 2),
            matchmaker.TeamMemberId(-1, 0), matchmaker.UserAttributesJson(1),
            matchmaker.UserAttributesJson(2), matchmaker.UserAttributesJson(3),
            matchmaker.UserAttributesJson(4));
    }

    // ---- Two players on the emulator; the follower disposes itself ----

    private static void EmulatorMatch() {
        using (HalyardClient first = HalyardClient.CreateLoopback(),
               second = HalyardClient.CreateLoopback()) {
            var players = new[] { new Matchmaker(first, "one"), new Matchmaker(second, "two") };
            Emulator.Enabled = true;  // after creating them: creation switches it off
            var roads = players.ToDictionary(p => p, p => new List<MatchmakingState>());
            foreach (Matchmaker player in players) {
                Matchmaker self = player;
                self.HeartbeatInterval = Heartbeat;
                self.StateChanged += state => {
                    roads[self].Add(state);
                    if (state == MatchmakingState.Matched) {
                        self.AcceptMatch();
                    } else if (state == MatchmakingState.AcceptedLeader) {
                        self.StartMatch("{\"server\":\"emulated\"}");
                    } else if (state == MatchmakingState.MatchStarted &&
                               roads[self].Contains(MatchmakingState.AcceptedFollower)) {
                        self.Dispose();
                        Throws<ObjectDisposedException>(() => self.Process(),
                                                        "a disposed matchmaker refuses calls");
                    }
                };
                Check(self.StartMatchmaking(EmulatorDuel), "emulated matchmaking started");
            }
            try {
                PlayUntil(() => players.All(p => p.IsDisposed || p.IsIdle), players);
                Matchmaker leader =
                    players.Single(p => roads[p].Contains(MatchmakingState.AcceptedLeader));
                Matchmaker follower = players.Single(p => p != leader);
                Check(follower.IsDisposed, "the follower disposed itself in its handler");
                Equal(MatchmakingState.MatchStarted, roads[follower].Last(),
                      "no event after the follower's disposal");
                Check(leader.IsIdle && roads[leader].Contains(MatchmakingState.MatchStarted),
                      "the leader started the match and is idle again");
            } finally {
                foreach (Matchmaker player in players) {
                    player.Dispose();
                }
                Emulator.Enabled = false;
                emulatorSnapshots +=
                    (uint)players.Count(p => roads[p].Contains(MatchmakingState.MatchStarted));
            }
        }
    }

    // ---- A handler's exception surfaces from the call that ran it ----

    private static void HandlerException() {
        using (var matchmaker = new Matchmaker(null)) {
            matchmaker.Error +=
                (error, text) => { throw new InvalidOperationException("handler"); };
            Throws<InvalidOperationException>(() => matchmaker.StopMatchmaking(),
                                              "the handler's exception from StopMatchmaking");
            Check(!matchmaker.Process(), "the matchmaker goes on, no exception left over");
        }
    }

    // ---- The backend switch, on the loopback and on the emulator ----

    private static void BackendSwitch() {
        const string identity = "dddddddd-0000-4000-8000-000000000004";
        using (HalyardClient client = HalyardClient.CreateLoopback(identity)) using (
            var matchmaker = new Matchmaker(client)) {
            Equal(client.Handle.DangerousGetHandle(), matchmaker.HalyardClientPointer,
                  "the client");
            Equal(identity + identity, matchmaker.IdentityId + Emulator.IdentityIdOf(client),
                  "identity from the client library");
            using (BackendTask task = matchmaker.MarkIdentityActive(7)) {
                Check(!task.IsPending && task.IsOkay && !task.IsTimedOut, "task finished");
                Check(task.Request == IntPtr.Zero && task.Error == null, "no request, no error");
                using (BackendResponse response = task.FetchResponse()) {
                    Equal("404 False ",
                          response.StatusCode + " " + response.IsOkay + " " + response.BodyJson,
                          "unscripted answer");
                }
            }
            Equal(1u, client.JournalCountOf(RequestKind.MarkIdentityActive), "journalled");

            Emulator.Enabled = true;
            try {
                Check(Emulator.Enabled && Emulator.IdentityIdOf(client) != identity,
                      "the emulator's own identity");
                string ticket;
                using (BackendTask task = BackendRequests.Ticket(
                           client, EmulatorSolo, null, null, 1, "{}",
                           "{}")) using (BackendResponse response = task.FetchResponse()) {
                    string body = response.BodyJson;
                    ticket = body.Substring(body.IndexOf("\"ticket\":\"") + 10, 36);
                }
                // Each answer read at once: the emulator builds a body when it is read.
                var answers = new List<string>();
                foreach (Func<BackendTask> request in new Func<BackendTask>[] {
                             () => BackendRequests.Keepalive(client, ticket),
                             () => BackendRequests.Accept(client, ticket),
                             () =>
                                 BackendRequests.Start(client, ticket, "{\"server\":\"emulated\"}"),
                             () => BackendRequests.Cancel(client, ticket, false)
                         }) {
                    BackendTask task = request();
                    BackendResponse response = task.FetchResponse();
                    task.Dispose();  // the response keeps the emulated task alive
                    answers.Add(response.StatusCode + " " +
                                (response.Header("content-type") ?? "-") + " " +
                                StateIn(response.BodyJson));
                    response.Dispose();
                }
                ++emulatorSnapshots;
                Equal("200 - \"matched\",200 - \"accepted\",200 - \"match_started\",200 - ",
                      string.Join(",", answers), "emulated answers");
                Check(BackendRequests.CreateProof(client, ticket) == null &&
                          BackendRequests.CheckProof(client, "p") == null &&
                          BackendRequests.CreateManualProof(client, "a") == null,
                      "the emulator makes no proof tasks");
            } finally {
                Emulator.Enabled = false;
            }
        }
    }

    // The "state" member of a status body, "" without one.
    private static string StateIn(string body) {
        int at = body == null ? -1 : body.IndexOf("\"state\":");
        return at < 0 ? "" : body.Substring(at + 8).Split(',', '}')[0];
    }

    // ---- Objects the game forgot are freed on its thread, not the finalizer's ----

    private static void AbandonedObjects() {
        // On a thread of its own, so no stale stack slot keeps them reachable.
        var abandon = new Thread(() => {
            var matchmaker = new Matchmaker(HalyardClient.CreateLoopback());
        matchmaker.MarkIdentityActive(1);
    });
    abandon.Start();
    abandon.Join();
    for (int i = 0; i < 3 && NativeObjects.AbandonedCount < 2; ++i) {
        GC.Collect();
        GC.WaitForPendingFinalizers();
    }
    Equal(1u, HalyardClient.LiveObjects.Tasks, "the finalizer freed nothing");
    Equal(3, NativeObjects.ReleaseAbandoned(), "task, matchmaker, then its client freed");
    Equal(0u, HalyardClient.LiveObjects.Tasks, "the task is gone");
}

// ---- Process() costs no managed allocation when nothing happens ----

private static void IdleFramesAllocateNothing() {
    using (var matchmaker = new Matchmaker(null)) {
        matchmaker.StateChanged += state => {};
        matchmaker.Process();
        long before = GC.GetAllocatedBytesForCurrentThread();
        for (int frame = 0; frame < 1000; ++frame) {
            matchmaker.Process();
        }
        Equal(0L, GC.GetAllocatedBytesForCurrentThread() - before,
              "bytes allocated by 1000 frames");
    }
}
}
