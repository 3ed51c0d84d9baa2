// A backend client: the loopback (scripted, in-process) or a networked one.
// Same thread rule as the matchmaker: pushed messages and the client's log
// lines reach the matchmakers registered on it inside Pump() (networked) or
// inside the loopback's requests, polls and pushes, on that thread.
using System;

namespace KRMatchmakingSystem {

    public sealed class HalyardClient : IDisposable {
        private readonly ClientHandle handle;

        private HalyardClient(IntPtr native, string refusal) {
            if (native == IntPtr.Zero) {
                throw new InvalidOperationException(refusal + ": " + LastError);
            }
            handle = new ClientHandle();
            handle.Attach(native);
        }

        // identityId: 36 characters, or null for a random one.
        public static HalyardClient CreateLoopback(string identityId = null) {
            return new HalyardClient(HalyardNativeMethods.hy_client_create(Utf8.Encode(identityId)),
                                     "hy_client_create refused");
        }

        // baseUrl may list several addresses, comma-separated.
        public static HalyardClient Connect(string baseUrl, string token) {
            return new HalyardClient(
                HalyardNativeMethods.hyn_client_connect(Utf8.Encode(baseUrl), Utf8.Encode(token)),
                "hyn_client_connect refused");
        }

        public ClientHandle Handle {
            get { return handle; }
        }

        // A matchmaker created on this client keeps it alive: the client is freed
        // when the last of them is.
        public void Dispose() { handle.Dispose(); }

        private ClientHandle Live {
            get {
                if (handle.IsClosed) {
                    throw new ObjectDisposedException("HalyardClient");
                }
                return handle;
            }
        }

        // Why the last client library call on this thread was refused.
        public static string LastError {
            get { return Utf8.Decode(HalyardNativeMethods.hyl_last_error()); }
        }

        public string IdentityId {
            get { return Utf8.Decode(HalyardNativeMethods.hy_client_get_identity_id(Live)); }
        }

        // Networked client: advances its transfers and delivers what arrived;
        // call once per frame. The result is hyn_client_pump's.
        public int Pump() {
            NativeObjects.ReleaseAbandoned();
            ClientHandle live = Live;
            CallbackExceptions.Enter();
            try {
                return HalyardNativeMethods.hyn_client_pump(live);
            } finally {
                CallbackExceptions.Leave();
            }
        }

        public void SetToken(string token) {
            Check(HalyardNativeMethods.hyn_client_set_token(Live, Utf8.Encode(token)),
                  "hyn_client_set_token");
        }

        // The time a request made from now on may take, over every address it
        // tries (default 10000 ms); one without an answer by then ends as 504.
        public void SetTimeout(uint milliseconds) {
            Check(HalyardNativeMethods.hyn_client_set_timeout(Live, milliseconds),
                  "hyn_client_set_timeout");
        }

        // ---- Loopback control ----

        public void LoadScenario(string path) {
            Check(HalyardNativeMethods.hyl_load_scenario(Live, Utf8.Encode(path)),
                  "hyl_load_scenario");
        }

        public void LoadScenarioText(string scenarioJson) {
            Check(HalyardNativeMethods.hyl_load_scenario_text(Live, Utf8.Encode(scenarioJson)),
                  "hyl_load_scenario_text");
        }

        // Queues one answer for the next request of the kind (bodyJson null: none).
        public void Script(RequestKind kind, int status, string bodyJson, uint pendingPolls = 0) {
            Check(HalyardNativeMethods.hyl_script(Live, kind, status, Utf8.Encode(bodyJson),
                                                  pendingPolls),
                  "hyl_script");
        }

        // Delivers a pushed message to the matchmakers on this client, now.
        public void PushMessage(string first, string type, string json) {
            byte[] firstText = Utf8.Encode(first), typeText = Utf8.Encode(type),
                   jsonText = Utf8.Encode(json);
            ClientHandle live = Live;
            CallbackExceptions.Enter();
            int result;
            try {
                result = HalyardNativeMethods.hyl_push_message(live, firstText, typeText, jsonText);
            } finally {
                CallbackExceptions.Leave();
            }
            Check(result, "hyl_push_message");
        }

        public uint PendingPushes {
            get { return HalyardNativeMethods.hyl_pending_pushes(Live); }
        }

        public uint ReplayMismatches {
            get { return HalyardNativeMethods.hyl_replay_mismatches(Live); }
        }

        public uint JournalCount {
            get { return HalyardNativeMethods.hyl_journal_count(Live); }
        }

        public uint JournalCountOf(RequestKind kind) {
            return HalyardNativeMethods.hyl_journal_count_kind(Live, kind);
        }

        // The journal as a scenario file that replays the session.
        public void WriteJournal(string path) {
            Check(HalyardNativeMethods.hyl_journal_write(Live, Utf8.Encode(path)),
                  "hyl_journal_write");
        }

        // Tasks, responses, JSON values and options alive in the process.
        public static LiveObjects LiveObjects {
            get {
                return new LiveObjects(HalyardNativeMethods.hyl_live_tasks(),
                                       HalyardNativeMethods.hyl_live_responses(),
                                       HalyardNativeMethods.hyl_live_json(),
                                       HalyardNativeMethods.hyl_live_options());
            }
        }

        private static void Check(int result, string function) {
            if (result != 0) {
                throw new InvalidOperationException(function + " refused: " + LastError);
            }
        }
    }

    public struct LiveObjects {
        public readonly uint Tasks, Responses, Json, Options;

        public LiveObjects(uint tasks, uint responses, uint json, uint options) {
            Tasks = tasks;
            Responses = responses;
            Json = json;
            Options = options;
        }

        public bool IsZero {
            get { return Tasks == 0 && Responses == 0 && Json == 0 && Options == 0; }
        }

        public override string ToString() {
            return string.Format("{0} tasks, {1} responses, {2} JSON values, {3} options", Tasks,
                                 Responses, Json, Options);
        }
    }

}  // namespace KRMatchmakingSystem
