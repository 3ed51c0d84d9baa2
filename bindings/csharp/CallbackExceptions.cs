// An exception thrown by a game's event handler must not unwind through the
// library's C frames (IL2CPP and .NET abort; the library's state would be
// left half-changed). It is held and rethrown when the outermost binding call
// that ran the handler returns, on the same thread: a handler may call the
// binding again without meeting its own exception there.
using System;
using System.Runtime.ExceptionServices;

namespace KRMatchmakingSystem {

    internal static class CallbackExceptions {
        [ThreadStatic]
        private static ExceptionDispatchInfo pending;
        [ThreadStatic]
        private static int depth;

        // Around every binding call that can run handlers.
        public static void Enter() { ++depth; }

        public static void Leave() {
            if (--depth == 0) {
                Rethrow();
            }
        }

        // The first one wins; later ones in the same call are dropped.
        public static void Hold(Exception exception) {
            if (pending == null) {
                pending = ExceptionDispatchInfo.Capture(exception);
            }
        }

        private static void Rethrow() {
            ExceptionDispatchInfo held = pending;
            if (held != null) {
                pending = null;
                held.Throw();
            }
        }
    }

}  // namespace KRMatchmakingSystem
