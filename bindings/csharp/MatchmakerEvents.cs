// The matchmaker's messages and log lines as C# events. The library calls two
// static methods (as ahead-of-time engines require), which find the
// matchmaker through the user-data pointer. Their delegates live as long as
// the process, so no registration can outlive its callback.
using System;
using System.Globalization;
using System.Runtime.InteropServices;

namespace KRMatchmakingSystem {

    public sealed partial class Matchmaker {
        private static readonly MessageCallback MessageThunk = OnMessage;
        private static readonly LogCallback LogThunk = OnLog;

        private string pendingProof;

        // Every message as the library sends it (name, value, text or null),
        // before the event it maps to.
        public event Action<string, int, string> MessageReceived;
        public event Action<MatchmakingState> StateChanged;
        // True on entering Idle, false on leaving it.
        public event Action<bool> IdleChanged;
        // The error and the backend's response text, or null.
        public event Action<MatchmakingError, string> Error;
        // The backend's new estimate, when an update changes only that.
        public event Action<uint> HopperSizeChanged;
        // The proof, its expiry as the client library gives it, the response text.
        public event Action<string, long, string> ProofReceived;
        // Lines of the types the flags let through.
        public event Action<LogType, string> LogLine;

        private static Matchmaker Find(IntPtr userData) {
            var self = GCHandle.FromIntPtr(userData).Target as Matchmaker;
            return self != null && !self.disposed ? self : null;
        }

        [MonoPInvokeCallback(typeof(MessageCallback))]
        private static void OnMessage(IntPtr matchmaker, IntPtr name, int value, IntPtr text,
                                      IntPtr userData) {
            try {
                Matchmaker self = Find(userData);
                if (self != null) {
                    self.Dispatch(Utf8.Decode(name), value, Utf8.Decode(text));
                }
            } catch (Exception exception) {
                CallbackExceptions.Hold(exception);
            }
        }

        [MonoPInvokeCallback(typeof(LogCallback))]
        private static void OnLog(IntPtr matchmaker, int logType, IntPtr line, IntPtr userData) {
            try {
                Matchmaker self = Find(userData);
                Action<LogType, string> handlers = self != null ? self.LogLine : null;
                if (handlers != null) {
                    handlers((LogType)logType, Utf8.Decode(line));
                }
            } catch (Exception exception) {
                CallbackExceptions.Hold(exception);
            }
        }

        private void Dispatch(string name, int value, string text) {
            Raise(MessageReceived, name, value, text);
            // A handler above may have disposed the matchmaker.
            if (disposed) {
                return;
            }
            switch (name) {
                case "state":
                    Raise(StateChanged, (MatchmakingState)value);
                    break;
                case "idle":
                    Raise(IdleChanged, value != 0);
                    break;
                case "error":
                    Raise(Error, (MatchmakingError)value, text);
                    break;
                case "hopper_size":
                    Raise(HopperSizeChanged, (uint)value);
                    break;
                default:
                    DispatchProof(name, text);
                    break;
            }
        }

        // The proof comes as "proof_p:<proof>", then "proof_e:<expiry>".
        private void DispatchProof(string name, string text) {
            const string proofPrefix = "proof_p:", expiryPrefix = "proof_e:";
            if (name.StartsWith(proofPrefix, StringComparison.Ordinal)) {
                pendingProof = name.Substring(proofPrefix.Length);
            } else if (name.StartsWith(expiryPrefix, StringComparison.Ordinal) &&
                       pendingProof != null) {
                long expiry =
                    long.Parse(name.Substring(expiryPrefix.Length), NumberStyles.AllowLeadingSign,
                               CultureInfo.InvariantCulture);
                string proof = pendingProof;
                pendingProof = null;
                Raise(ProofReceived, proof, expiry, text);
            }
        }

        private static void Raise<T>(Action<T> handlers, T value) {
            if (handlers != null) {
                handlers(value);
            }
        }

        private static void Raise<T1, T2>(Action<T1, T2> handlers, T1 first, T2 second) {
            if (handlers != null) {
                handlers(first, second);
            }
        }

        private static void Raise<T1, T2, T3>(Action<T1, T2, T3> handlers, T1 first, T2 second,
                                              T3 third) {
            if (handlers != null) {
                handlers(first, second, third);
            }
        }
    }

}  // namespace KRMatchmakingSystem
