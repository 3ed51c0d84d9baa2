// Native objects the game owns. Dispose frees at once, on the calling thread.
// A handle the game forgot to dispose is never freed on the finalizer thread,
// since the library may only be called from the game thread: its finalizer
// queues it, and the next Matchmaker.Process, HalyardClient.Pump or
// NativeObjects.ReleaseAbandoned on the game thread frees it.
using System;
using System.Collections.Concurrent;
using System.Runtime.InteropServices;
using System.Threading;

namespace KRMatchmakingSystem {

    public abstract class OwnedHandle : SafeHandle {
        private volatile bool finalizing;
        private int freed;

        protected OwnedHandle() : base(IntPtr.Zero, true) {}

        public override bool IsInvalid {
            get { return handle == IntPtr.Zero; }
        }

        // Frees the native object with `handle`; runs once, on the game thread.
        protected abstract void FreeNative();

        internal void Attach(IntPtr native) { SetHandle(native); }

        // Frees now even while a call on the handle is still running: for the
        // matchmaker, whose header allows freeing from inside its own callback.
        internal void FreeNow() {
            FreeOnce();
            SetHandleAsInvalid();
        }

        internal void FreeOnce() {
            if (Interlocked.Exchange(ref freed, 1) == 0) {
                FreeNative();
            }
        }

        protected override void Dispose(bool disposing) {
            if (!disposing) {
                finalizing = true;
            }
            base.Dispose(disposing);
        }

        protected sealed override bool ReleaseHandle() {
            if (finalizing) {
                NativeObjects.Queue(this);
            } else {
                FreeOnce();
            }
            return true;
        }
    }

    public static class NativeObjects {
        private static readonly ConcurrentQueue<OwnedHandle> abandoned =
            new ConcurrentQueue<OwnedHandle>();
        private static int queued;

        internal static void Queue(OwnedHandle handle) {
            abandoned.Enqueue(handle);
            Interlocked.Increment(ref queued);
        }

        // Objects finalized without Dispose and not yet freed.
        public static int AbandonedCount {
            get { return Volatile.Read(ref queued); }
        }

        // Frees what was finalized without Dispose; call on the game thread.
        // Returns the number of objects freed.
        public static int ReleaseAbandoned() {
            if (Volatile.Read(ref queued) == 0) {
                return 0;
            }
            int count = 0;
            OwnedHandle handle;
            while (abandoned.TryDequeue(out handle)) {
                Interlocked.Decrement(ref queued);
                handle.FreeOnce();
                ++count;
            }
            return count;
        }
    }

}  // namespace KRMatchmakingSystem
