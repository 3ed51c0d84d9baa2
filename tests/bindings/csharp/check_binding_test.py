#!/usr/bin/env python3
"""The binding check passes on the repository and names each fault planted in
a copy of the binding or the headers."""
import pathlib
import re
import sys
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_binding  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parents[3]


def plant(sources, old, new):
    """The sources with the one occurrence of old (any run of white space
    matching any other) replaced by new."""
    pattern = re.compile(r"\s+".join(re.escape(word) for word in old.split()))
    hits = [(path, m) for path, text in sources.items() for m in pattern.finditer(text)]
    assert len(hits) == 1, "not exactly one: " + old
    path, match = hits[0]
    changed = dict(sources)
    changed[path] = sources[path][:match.start()] + new + sources[path][match.end():]
    return changed


class CheckBindingTest(unittest.TestCase):
    def setUp(self):
        self.library, self.client, self.exports, self.sources = check_binding.load(ROOT)

    def problems(self, sources=None, library=None, client=None):
        return check_binding.check(library or self.library, client or self.client,
                                   self.exports, sources or self.sources)

    def test_repository_binding_is_complete(self):
        self.assertEqual(self.problems(), [])

    def test_planted_binding_faults_are_named(self):
        process = ("[DllImport(Library, CallingConvention = CallingConvention.Cdecl)] "
                   "public static extern int krmm_process(MatchmakerHandle matchmaker);")
        cases = [
            ("export left out", process, "", "krmm_process has no binding"),
            ("argument type", "krmm_set_flags(MatchmakerHandle matchmaker, uint flags)",
             "krmm_set_flags(MatchmakerHandle matchmaker, int flags)",
             "krmm_set_flags argument 2 is int"),
            ("returned text freed by the runtime", "extern IntPtr krmm_get_name(",
             "extern string krmm_get_name(", "krmm_get_name returns string"),
            ("text passed in the code page", "krmm_start_match(MatchmakerHandle matchmaker, byte[]",
             "krmm_start_match(MatchmakerHandle matchmaker, string", "krmm_start_match argument 2"),
            ("argument left out", "int hyn_client_set_token(ClientHandle client, byte[] token)",
             "int hyn_client_set_token(ClientHandle client)", "hyn_client_set_token takes 1"),
            ("convention", process,
             process.replace(", CallingConvention = CallingConvention.Cdecl", ""),
             "krmm_process is imported without CallingConvention.Cdecl"),
            ("callback convention",
             "[UnmanagedFunctionPointer(CallingConvention.Cdecl)] public delegate void LogCallback",
             "public delegate void LogCallback", "LogCallback is not"),
            ("callback signature", "LogCallback(IntPtr matchmaker, int logType,",
             "LogCallback(IntPtr matchmaker, uint logType,", "LogCallback argument 2 is uint"),
            ("wrong library", "hy_client_free(IntPtr client)", "hy_client_fre(IntPtr client)",
             "hy_client_fre is imported from halyard, whose header does not declare it"),
        ]
        for name, old, new, expected in cases:
            with self.subTest(name):
                problems = self.problems(plant(self.sources, old, new))
                self.assertTrue(any(expected in p for p in problems), problems)

    def test_header_changes_are_caught(self):
        extra_export = "KRMM_API int KRMM_CALL krmm_new_export(void);\n#ifdef __cplusplus"
        problems = self.problems(library=self.library.replace("#ifdef __cplusplus",
                                                              extra_export, 1))
        self.assertTrue(any("krmm_new_export" in p for p in problems), problems)
        new_networked = "HY_API int HY_CALL hyn_client_wait(hy_client* client);\n#ifdef __cplusplus"
        problems = self.problems(client=self.client.replace("#ifdef __cplusplus",
                                                            new_networked, 1))
        self.assertIn("hyn_client_wait has no binding", problems)


if __name__ == "__main__":
    unittest.main()
