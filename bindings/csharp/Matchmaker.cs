// One matchmaker: life cycle, configuration and the player's commands.
// Threads: use a matchmaker from one thread, the game thread. Its events run
// inside Process(), inside the commands, and inside the client's Pump() for
// pushed messages, on the thread that called them.
using System;
using System.Runtime.InteropServices;

namespace KRMatchmakingSystem {

    public sealed partial class Matchmaker : IDisposable {
        private readonly MatchmakerHandle handle = new MatchmakerHandle();
        private readonly HalyardClient client;
        private readonly IntPtr userData;
        private bool disposed;
        private bool registered;

        // client may be null: the matchmaker then works with the emulator only.
        // Creating a matchmaker switches the process-wide emulator off.
        public Matchmaker(HalyardClient client, string name = null,
                          MatchmakerFlags flags = MatchmakerFlags.None) {
            this.client = client;
            ClientHandle clientHandle = client != null ? client.Handle : null;
            bool added = false;
            if (clientHandle != null) {
                clientHandle.DangerousAddRef(ref added);
            }
            IntPtr native = NativeMethods.krmm_create_matchmaking(
                added ? clientHandle.DangerousGetHandle() : IntPtr.Zero, Utf8.Encode(name),
                (uint)flags);
            if (native == IntPtr.Zero) {
                if (added) {
                    clientHandle.DangerousRelease();
                }
                throw new OutOfMemoryException("krmm_create_matchmaking could not allocate");
            }
            // Weak: a matchmaker the game dropped can be collected and its
            // finalizer can queue the native one for freeing.
            GCHandle owner = GCHandle.Alloc(this, GCHandleType.Weak);
            handle.Attach(native, owner, added ? clientHandle : null);
            userData = GCHandle.ToIntPtr(owner);
            Register();
        }

        private void Register() {
            NativeMethods.krmm_register_msg_callback(handle, MessageThunk, userData);
            NativeMethods.krmm_register_log_callback(handle, LogThunk, userData);
            registered = true;
        }

        public MatchmakerHandle Handle {
            get { return handle; }
        }

        public HalyardClient Client {
            get { return client; }
        }

        public bool IsDisposed {
            get { return disposed; }
        }

        // Frees the matchmaker at once. Safe from inside one of its own event
        // handlers: no further event is raised, and the library releases the
        // memory when its outermost call returns.
        public void Dispose() {
            if (disposed) {
                return;
            }
            disposed = true;
            handle.FreeNow();
        }

        private MatchmakerHandle Live {
            get {
                if (disposed) {
                    throw new ObjectDisposedException("Matchmaker");
                }
                return handle;
            }
        }

        // ---- Life cycle ----

        // One pass; call once per frame. True while the matchmaker is not idle.
        // Allocates nothing when no event is raised.
        public bool Process() {
            NativeObjects.ReleaseAbandoned();
            MatchmakerHandle live = Live;
            CallbackExceptions.Enter();
            try {
                return NativeMethods.krmm_process(live) != 0;
            } finally {
                CallbackExceptions.Leave();
            }
        }

        public bool IsIdle {
            get { return NativeMethods.krmm_is_idle(Live) != 0; }
        }

        // Frees the library's callbacks (no events until Restart()) and its task
        // manager; only Restart() or Dispose() may follow.
        public void Cleanup() {
            Run(NativeMethods.krmm_cleanup);
            registered = false;
        }

        // Clears the attempt's data. After Cleanup() it also registers the
        // events with the library again: subscriptions belong to this object.
        public void Restart() {
            Run(NativeMethods.krmm_restart);
            if (!registered && !disposed) {
                Register();
            }
        }

        // ---- Configuration ----

        public MatchmakerFlags Flags {
            get { return (MatchmakerFlags)NativeMethods.krmm_get_flags(Live); }
            set { NativeMethods.krmm_set_flags(Live, (uint)value); }
        }

        // True when any bit of mask is set.
        public bool HasFlags(MatchmakerFlags mask) {
            return NativeMethods.krmm_has_flags(Live, (uint)mask) != 0;
        }

        // The client pointer the matchmaker was created with (zero for none).
        public IntPtr HalyardClientPointer {
            get { return NativeMethods.krmm_get_halyard_client(Live); }
        }

        public string Name {
            get { return Utf8.Decode(NativeMethods.krmm_get_name(Live)); }
        }

        public MatchmakingError ErrorCode {
            get { return (MatchmakingError)NativeMethods.krmm_get_error_code(Live); }
        }

        // Milliseconds; 0 disables. Each is read when its phase opens.
        public uint HeartbeatInterval {
            get { return NativeMethods.krmm_get_heartbeat_interval(Live); }
            set { NativeMethods.krmm_set_heartbeat_interval(Live, value); }
        }

        public uint MatchmakingTimeout {
            get { return NativeMethods.krmm_get_matchmaking_timeout(Live); }
            set { NativeMethods.krmm_set_matchmaking_timeout(Live, value); }
        }

        public uint AcceptTimeout {
            get { return NativeMethods.krmm_get_accept_timeout(Live); }
            set { NativeMethods.krmm_set_accept_timeout(Live, value); }
        }

        public uint StartTimeout {
            get { return NativeMethods.krmm_get_start_timeout(Live); }
            set { NativeMethods.krmm_set_start_timeout(Live, value); }
        }

        public uint ErrorRecoverTimeout {
            get { return NativeMethods.krmm_get_error_recover_timeout(Live); }
            set { NativeMethods.krmm_set_eror_recover_timeout(Live, value); }
        }

        // Switches the process-wide emulator, logging on this matchmaker.
        public void SetEmulator(bool enable) {
            MatchmakerHandle live = Live;
            Run(() => { NativeMethods.krmm_set_emulator(live, enable ? 1 : 0); });
        }

        // ---- Player commands ----

        // True when the ticket request was queued (only while idle).
        public bool StartMatchmaking(string hopperId, string groupId = null,
                                     string secondGroupId = null, uint groupSize = 0,
                                     string attributesJson = null, string valuesJson = null) {
            byte[] hopper = Utf8.Encode(hopperId), group = Utf8.Encode(groupId),
                   second = Utf8.Encode(secondGroupId), attributes = Utf8.Encode(attributesJson),
                   values = Utf8.Encode(valuesJson);
            MatchmakerHandle live = Live;
            return Ask(() => {
                return NativeMethods.krmm_start_matchmaking(live, hopper, group, second, groupSize,
                                                            attributes, values);
            });
        }

        // True when a stop was performed.
        public bool StopMatchmaking() { return Ask(NativeMethods.krmm_stop_matchmaking); }

        public void AcceptMatch() { Run(NativeMethods.krmm_accept_match); }

        public void DeclineMatch() { Run(NativeMethods.krmm_decline_match); }

        // Leader only; joinInfoJson is what the other players read.
        public void StartMatch(string joinInfoJson = null) {
            byte[] joinInfo = Utf8.Encode(joinInfoJson);
            MatchmakerHandle live = Live;
            Run(() => { NativeMethods.krmm_start_match(live, joinInfo); });
        }

        // The proof arrives through ProofReceived.
        public bool CreateProof() { return Ask(NativeMethods.krmm_create_proof); }

        public void RequestHopperInfo(string hopperId) {
            byte[] hopper = Utf8.Encode(hopperId);
            MatchmakerHandle live = Live;
            Run(() => { NativeMethods.krmm_request_hopper_info(live, hopper); });
        }

        public bool HasHopperInfo(string hopperId) {
            return NativeMethods.krmm_has_hopper_info(Live, Utf8.Encode(hopperId)) != 0;
        }

        // ---- Identity ----

        public string IdentityId {
            get { return Utf8.Decode(NativeMethods.krmm_client_get_identity_id(Live)); }
        }

        // Null with the emulator enabled.
        public BackendTask MarkIdentityActive(int argument) {
            return BackendTask.Take(NativeMethods.krmm_mark_identity_active(Live, argument));
        }

        // ---- Names ----

        public static string NameOf(MatchmakingState state) {
            return Utf8.Decode(NativeMethods.krmm_matchmaking_state_to_str((int)state));
        }

        public static string NameOf(MatchmakingError error) {
            return Utf8.Decode(NativeMethods.krmm_error_code_to_str((int)error));
        }

        public static string NameOf(LogType type) {
            return Utf8.Decode(NativeMethods.krmm_log_type_to_str((int)type));
        }

        // Calls that may raise events.
        private void Run(Action<MatchmakerHandle> call) {
            MatchmakerHandle live = Live;
            CallbackExceptions.Enter();
            try {
                call(live);
            } finally {
                CallbackExceptions.Leave();
            }
        }

        private void Run(Action call) {
            CallbackExceptions.Enter();
            try {
                call();
            } finally {
                CallbackExceptions.Leave();
            }
        }

        private bool Ask(Func<MatchmakerHandle, int> call) {
            MatchmakerHandle live = Live;
            return Ask(() => { return call(live); });
        }

        private bool Ask(Func<int> call) {
            CallbackExceptions.Enter();
            try {
                return call() != 0;
            } finally {
                CallbackExceptions.Leave();
            }
        }
    }

}  // namespace KRMatchmakingSystem
