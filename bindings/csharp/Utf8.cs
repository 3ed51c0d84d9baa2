// Texts cross the boundary as UTF-8 whatever the platform's code page. In: a
// NUL-terminated copy that the runtime pins for the call. Out: the library
// keeps ownership of its pointer; the text is copied out and never freed here.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace KRMatchmakingSystem {

    public static class Utf8 {
        // Null stays null (the library's "absent").
        public static byte[] Encode(string text) {
            if (text == null) {
                return null;
            }
            if (text.IndexOf('\0') >= 0) {
                throw new ArgumentException(
                    "a text for the library cannot contain a NUL character");
            }
            var bytes = new byte[Encoding.UTF8.GetByteCount(text) + 1];
            Encoding.UTF8.GetBytes(text, 0, text.Length, bytes, 0);
            return bytes;
        }

        // A null pointer reads as null.
        public static string Decode(IntPtr text) {
            if (text == IntPtr.Zero) {
                return null;
            }
            int length = 0;
            while (Marshal.ReadByte(text, length) != 0) {
                ++length;
            }
            if (length == 0) {
                return string.Empty;
            }
            var bytes = new byte[length];
            Marshal.Copy(text, bytes, 0, length);
            return Encoding.UTF8.GetString(bytes);
        }
    }

}  // namespace KRMatchmakingSystem
