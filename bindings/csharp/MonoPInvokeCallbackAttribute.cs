using System;

namespace KRMatchmakingSystem {

    // Ahead-of-time engines (IL2CPP, Mono's full AOT) generate a native entry
    // point for each static method carrying an attribute of this name, in any
    // namespace, called through the delegate type given. Declared here so the
    // binding needs no engine assembly.
    [AttributeUsage(AttributeTargets.Method)]
    internal sealed class MonoPInvokeCallbackAttribute : Attribute {
        public MonoPInvokeCallbackAttribute(Type delegateType) { DelegateType = delegateType; }

        public Type DelegateType { get; private set; }
    }

}  // namespace KRMatchmakingSystem
