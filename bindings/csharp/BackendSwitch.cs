// The library's backend switch: the process-wide emulator and the
// matchmaking requests, sent to the emulator when it is on and to the client
// library otherwise.
using System;

namespace KRMatchmakingSystem {

    public static class Emulator {
        // Creating a matchmaker switches it off.
        public static bool Enabled {
            get { return NativeMethods.hye_emulator_is_enabled() != 0; }
            set { NativeMethods.hye_emulator_init(value? 1: 0); }
        }

        // With the emulator on, the identity it gave the client; otherwise the
        // client library's.
        public static string IdentityIdOf(HalyardClient client) {
            return Utf8.Decode(NativeMethods.hye_client_get_identity_id(Pointer(client)));
        }

        internal static IntPtr Pointer(HalyardClient client) {
            if (client == null) {
                return IntPtr.Zero;
            }
            if (client.Handle.IsClosed) {
                throw new ObjectDisposedException("HalyardClient");
            }
            return client.Handle.DangerousGetHandle();
        }
    }

    // Each returns the request's task, or null when none was made (the emulator
    // makes none for the proof requests). client may be null with the emulator.
    public static class BackendRequests {
        public static BackendTask Ticket(HalyardClient client, string hopperId,
                                         string groupId = null, string secondGroupId = null,
                                         uint groupSize = 0, string attributesJson = null,
                                         string valuesJson = null) {
            IntPtr clientPointer = Emulator.Pointer(client);
            byte[] hopper = Uuid(hopperId), group = Uuid(groupId), second = Uuid(secondGroupId);
            IntPtr attributes = Json(attributesJson);
            IntPtr values;
            try {
                values = Json(valuesJson);
            } catch {
                HalyardNativeMethods.hy_json_free(attributes);
                throw;
            }
            return Send(client,
                        () => NativeMethods.hye_r_matchmaking_ticket(
                            clientPointer, hopper, group, second, groupSize, attributes, values));
        }

        public static BackendTask Keepalive(HalyardClient client, string ticket) {
            return Send(client, ticket, NativeMethods.hye_r_matchmaking_keepalive);
        }

        public static BackendTask Accept(HalyardClient client, string ticket) {
            return Send(client, ticket, NativeMethods.hye_r_matchmaking_accept);
        }

        public static BackendTask Cancel(HalyardClient client, string ticket, bool soft) {
            IntPtr clientPointer = Emulator.Pointer(client);
            byte[] text = Utf8.Encode(ticket);
            return Send(client, () => NativeMethods.hye_r_matchmaking_cancel(clientPointer, text,
                                                                             soft ? 1 : 0));
        }

        public static BackendTask Start(HalyardClient client, string ticket, string joinInfoJson) {
            IntPtr clientPointer = Emulator.Pointer(client);
            byte[] text = Utf8.Encode(ticket);
            IntPtr joinInfo = Json(joinInfoJson);
            return Send(client,
                        () => NativeMethods.hye_r_matchmaking_start(clientPointer, text, joinInfo));
        }

        public static BackendTask CreateProof(HalyardClient client, string ticket) {
            return Send(client, ticket, NativeMethods.hye_r_matchmaking_create_proof);
        }

        public static BackendTask CheckProof(HalyardClient client, string proof) {
            return Send(client, proof, NativeMethods.hye_r_matchmaking_check_proof);
        }

        public static BackendTask CreateManualProof(HalyardClient client, string argument) {
            return Send(client, argument, NativeMethods.hye_r_matchmaking_create_manual_proof);
        }

        private static BackendTask Send(HalyardClient client, string text,
                                        Func<IntPtr, byte[], IntPtr> request) {
            IntPtr clientPointer = Emulator.Pointer(client);
            byte[] bytes = Utf8.Encode(text);
            return Send(client, () => request(clientPointer, bytes));
        }

        // A loopback request may deliver due pushes to the matchmakers on the client.
        private static BackendTask Send(HalyardClient client, Func<IntPtr> request) {
            CallbackExceptions.Enter();
            try {
                return BackendTask.Take(request());
            } finally {
                CallbackExceptions.Leave();
                GC.KeepAlive(client);
            }
        }

        // 16 bytes, or null for no id.
        private static byte[] Uuid(string text) {
            if (text == null) {
                return null;
            }
            var uuid = new byte[16];
            if (HalyardNativeMethods.hy_uuid_set_from_string(uuid, Utf8.Encode(text)) != 0) {
                throw new ArgumentException("not a UUID: '" + text + "'");
            }
            return uuid;
        }

        // A new value the request takes over, or zero for none.
        private static IntPtr Json(string text) {
            if (text == null) {
                return IntPtr.Zero;
            }
            byte[] bytes = Utf8.Encode(text);
            IntPtr value = HalyardNativeMethods.hy_json_parse(bytes, (UIntPtr)(bytes.Length - 1));
            if (value == IntPtr.Zero) {
                throw new ArgumentException("not JSON: " + text);
            }
            return value;
        }
    }

}  // namespace KRMatchmakingSystem
