// The handle types the imports take. Each keeps alive what its native object
// refers to: a matchmaker its client, a response the task it came from.
using System;
using System.Runtime.InteropServices;

namespace KRMatchmakingSystem {

    public sealed class MatchmakerHandle : OwnedHandle {
        private GCHandle owner;
        private ClientHandle client;

        // owner: weak, the callbacks' user data; client may be null.
        internal void Attach(IntPtr native, GCHandle owner, ClientHandle client) {
            this.owner = owner;
            this.client = client;
            Attach(native);
        }

        protected override void FreeNative() {
            NativeMethods.krmm_free_matchmaking(handle);
            // Only now: callbacks may arrive until the matchmaker is freed.
            if (owner.IsAllocated) {
                owner.Free();
            }
            if (client != null) {
                client.DangerousRelease();
            }
        }
    }

    public sealed class ClientHandle : OwnedHandle {
        protected override void FreeNative() { HalyardNativeMethods.hy_client_free(handle); }
    }

    public sealed class BackendTaskHandle : OwnedHandle {
        protected override void FreeNative() { NativeMethods.hye_task_free(handle); }
    }

    public sealed class BackendResponseHandle : OwnedHandle {
        private BackendTaskHandle task;

        // The emulator's response is its task: the task lives until this is freed.
        internal void Attach(IntPtr native, BackendTaskHandle task) {
            this.task = task;
            Attach(native);
        }

        protected override void FreeNative() {
            NativeMethods.hye_response_free(handle);
            task.DangerousRelease();
        }
    }

}  // namespace KRMatchmakingSystem
