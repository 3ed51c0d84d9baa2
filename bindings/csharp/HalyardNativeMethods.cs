// The backend client library functions a game needs beside the matchmaker:
// creating, pumping and freeing a client (loopback or networked), scripting
// and checking the loopback in tests, reading JSON bodies. Same conventions
// as NativeMethods: cdecl, UTF-8 byte arrays in, library pointers out.
using System;
using System.Runtime.InteropServices;

namespace KRMatchmakingSystem {

    public static class HalyardNativeMethods {
        // halyard.dll on Windows, libhalyard.so on Linux; a game's own client
        // library under that name serves the same functions.
        public const string Library = "halyard";

        // ---- JSON, texts and UUIDs ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hy_json_parse(byte[] text, UIntPtr length);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void hy_json_free(IntPtr value);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hy_json_serialize(IntPtr value, uint flags);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void hy_free(IntPtr text);
        // out: 16 bytes.
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hy_uuid_set_from_string([Out] byte[] uuid, byte[] text);

        // ---- Clients ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hy_client_create(byte[] identityId);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern void hy_client_free(IntPtr client);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hy_client_get_identity_id(ClientHandle client);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hyn_client_connect(byte[] baseUrl, byte[] token);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hyn_client_pump(ClientHandle client);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hyn_client_set_token(ClientHandle client, byte[] token);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hyn_client_set_timeout(ClientHandle client, uint milliseconds);

        // ---- Loopback control ----
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr hyl_last_error();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hyl_script(ClientHandle client, RequestKind kind, int status,
                                            byte[] bodyJson, uint pendingPolls);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hyl_load_scenario(ClientHandle client, byte[] path);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hyl_load_scenario_text(ClientHandle client, byte[] text);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint hyl_pending_pushes(ClientHandle client);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint hyl_replay_mismatches(ClientHandle client);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint hyl_journal_count(ClientHandle client);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint hyl_journal_count_kind(ClientHandle client, RequestKind kind);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hyl_journal_write(ClientHandle client, byte[] path);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern int hyl_push_message(ClientHandle client, byte[] first, byte[] type,
                                                  byte[] jsonText);
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint hyl_live_tasks();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint hyl_live_responses();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint hyl_live_json();
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        public static extern uint hyl_live_options();
    }

}  // namespace KRMatchmakingSystem
