// A backend request in flight and its response, through the library's switch
// (the emulator's handles or the client library's). The game owns both.
using System;

namespace KRMatchmakingSystem {

    public sealed class BackendTask : IDisposable {
        private readonly BackendTaskHandle handle = new BackendTaskHandle();

        private BackendTask(IntPtr native) { handle.Attach(native); }

        // Null for no task.
        internal static BackendTask Take(IntPtr native) {
            return native == IntPtr.Zero ? null : new BackendTask(native);
        }

        public void Dispose() { handle.Dispose(); }

        private BackendTaskHandle Live {
            get {
                if (handle.IsClosed) {
                    throw new ObjectDisposedException("BackendTask");
                }
                return handle;
            }
        }

        // One poll; true while the task has not finished. A loopback poll may
        // deliver due pushes to the matchmakers on its client.
        public bool IsPending {
            get {
                BackendTaskHandle live = Live;
                CallbackExceptions.Enter();
                try {
                    return NativeMethods.hye_task_is_pending(live) != 0;
                } finally {
                    CallbackExceptions.Leave();
                }
            }
        }

        public bool IsTimedOut {
            get { return NativeMethods.hye_task_is_timed_out(Live) != 0; }
        }

        public bool IsOkay {
            get { return NativeMethods.hye_task_is_okay(Live) != 0; }
        }

        // Unsupported by the library: always zero.
        public IntPtr Request {
            get { return NativeMethods.hye_task_get_request(Live); }
        }

        // Null when there is none (the emulator reports none).
        public string Error {
            get { return Utf8.Decode(NativeMethods.hye_task_get_error(Live)); }
        }

        // Null while pending.
        public BackendResponse FetchResponse() {
            BackendTaskHandle live = Live;
            IntPtr native = NativeMethods.hye_task_fetch_response(live);
            if (native == IntPtr.Zero) {
                return null;
            }
            var response = new BackendResponseHandle();
            bool added = false;
            live.DangerousAddRef(ref added);
            response.Attach(native, live);
            return new BackendResponse(response);
        }
    }

    public sealed class BackendResponse : IDisposable {
        private readonly BackendResponseHandle handle;

        internal BackendResponse(BackendResponseHandle handle) { this.handle = handle; }

        public void Dispose() { handle.Dispose(); }

        private BackendResponseHandle Live {
            get {
                if (handle.IsClosed) {
                    throw new ObjectDisposedException("BackendResponse");
                }
                return handle;
            }
        }

        public int StatusCode {
            get { return NativeMethods.hye_response_get_status_code(Live); }
        }

        public bool IsOkay {
            get { return NativeMethods.hye_response_is_okay(Live) != 0; }
        }

        // Null when absent (the emulator reports none).
        public string Header(string name) {
            return Utf8.Decode(NativeMethods.hye_response_get_header(Live, Utf8.Encode(name)));
        }

        // The body as compact JSON text, or null without one.
        public string BodyJson {
            get {
                IntPtr json = NativeMethods.hye_response_get_json(Live);
                if (json == IntPtr.Zero) {
                    return null;
                }
                IntPtr text = HalyardNativeMethods.hy_json_serialize(json, 0);
                try {
                    return Utf8.Decode(text);
                } finally {
                    HalyardNativeMethods.hy_free(text);
                }
            }
        }
    }

}  // namespace KRMatchmakingSystem
