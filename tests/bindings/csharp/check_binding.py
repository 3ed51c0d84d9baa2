#!/usr/bin/env python3
"""Checks that the C# binding (bindings/csharp) imports every export of the
library, and every hyn_ function of the client library, with the signature
the headers declare, the cdecl convention, and texts that the runtime never
frees. Exits 1 and names each problem otherwise.

Usage: check_binding.py [--root REPOSITORY]
"""
import argparse
import pathlib
import re
import sys

# C types (const and struct dropped, pointers written X*) and the C# types
# that carry them. Texts go in as UTF-8 byte arrays; everything the library
# hands out is a pointer, read without being freed by the runtime.
SCALARS = {
    "void": "void", "int": "int", "int32_t": "int", "uint32_t": "uint",
    "int64_t": "long", "double": "double", "size_t": "UIntPtr", "hyl_kind": "RequestKind",
}
PARAMETER_POINTERS = {
    "char*": {"byte[]"},
    "char**": {"IntPtr[]"},
    "hy_uuid*": {"byte[]"},
    "krmm_matchmaker*": {"MatchmakerHandle", "IntPtr"},
    "hy_client*": {"ClientHandle", "IntPtr"},
    "hy_task*": {"BackendTaskHandle", "IntPtr"},
    "hy_response*": {"BackendResponseHandle", "IntPtr"},
    "EloTeam*": {"EloTeam[]"},
    "Glicko2Team*": {"Glicko2Team[]"},
    "BayesianTeam*": {"BayesianTeam[]"},
}
CALLBACKS = {
    "krmm_log_callback": "LogCallback",
    "krmm_msg_callback": "MessageCallback",
    "hy_log_func": "HalyardLogCallback",
    "hy_msg_func": "HalyardMessageCallback",
}
CDECL = "CallingConvention.Cdecl"
# The networked client's functions, as they are being added to halyard.h:
# checked against these until the header declares them, then against it.
NETWORKED_CLIENT = {
    "hyn_client_connect": ("hy_client*", ["char*", "char*"]),
    "hyn_client_pump": ("int", ["hy_client*"]),
    "hyn_client_set_token": ("int", ["hy_client*", "char*"]),
}


def strip_c_comments(text):
    return re.sub(r"/\*.*?\*/|//[^\n]*", " ", text, flags=re.S)


def c_type(declaration):
    """'const struct hy_uuid* hopper_id' -> 'hy_uuid*'; 'void' -> 'void'."""
    tokens = declaration.replace("*", " * ").split()
    words = [t for t in tokens if t != "*"]
    if len(words) > 1 and re.fullmatch(r"[A-Za-z_]\w*", tokens[-1]) and tokens[-1] not in (
            "const", "struct"):
        tokens = tokens[:-1]
    return "".join(t for t in tokens if t not in ("const", "struct"))


def c_parameters(text):
    text = " ".join(text.split())
    if text in ("", "void"):
        return []
    return [c_type(p) for p in text.split(",")]


def parse_c_functions(header, api):
    """Name -> (return type, parameter types) of every `api` declaration."""
    pattern = re.compile(api + r"\s+([^;()]*?)\s*\b\w+_CALL\s+(\w+)\s*\(([^)]*)\)\s*;")
    return {m.group(2): (c_type(m.group(1)), c_parameters(m.group(3)))
            for m in pattern.finditer(strip_c_comments(header))}


def parse_c_callbacks(header):
    pattern = re.compile(r"typedef\s+(\w+)\s*\(\s*\w+_CALL\s*\*\s*(\w+)\s*\)\s*\(([^)]*)\)\s*;")
    return {m.group(2): (c_type(m.group(1)), c_parameters(m.group(3)))
            for m in pattern.finditer(strip_c_comments(header))}


def strip_cs_comments(text):
    return re.sub(r"/\*.*?\*/|//[^\n]*", " ", text, flags=re.S)


def cs_parameters(text):
    text = re.sub(r"\[\s*[A-Za-z][^\]]*\]", " ", text)  # [In], [Out], [MarshalAs(...)]
    text = " ".join(text.split())
    if not text:
        return []
    return [" ".join(p.split()[:-1]) for p in text.split(",")]


def parse_cs_imports(text):
    """(name, library expression, attribute, return type, parameter types)."""
    pattern = re.compile(r"\[\s*DllImport\s*\(([^\]]*)\)\s*\]\s*(?:\[[^\]]*\]\s*)*"
                         r"(?:public|internal|private)\s+static\s+extern\s+([\w\[\]]+)\s+(\w+)"
                         r"\s*\(([^)]*)\)\s*;")
    imports = []
    for m in pattern.finditer(strip_cs_comments(text)):
        attribute = m.group(1)
        entry = re.search(r'EntryPoint\s*=\s*"(\w+)"', attribute)
        imports.append((entry.group(1) if entry else m.group(3), attribute.split(",")[0].strip(),
                        attribute, m.group(2), cs_parameters(m.group(4))))
    return imports


def parse_cs_delegates(text):
    """Name -> (attributes before it, return type, parameter types)."""
    pattern = re.compile(r"((?:\[[^\]]*\]\s*)*)(?:public|internal|private)\s+delegate\s+"
                         r"([\w\[\]]+)\s+(\w+)\s*\(([^)]*)\)\s*;")
    return {m.group(3): (m.group(1), m.group(2), cs_parameters(m.group(4)))
            for m in pattern.finditer(strip_cs_comments(text))}


def parse_cs_libraries(text):
    """Class name -> the value of its `const string Library`."""
    libraries = {}
    for m in re.finditer(r"class\s+(\w+)\s*\{", text):
        value = re.search(r'const\s+string\s+Library\s*=\s*"([^"]*)"', text[m.end():])
        if value:
            libraries[m.group(1)] = value.group(1)
    return libraries


def allowed(c, role):
    """The C# types that carry C type c as a 'parameter', 'return' or 'callback' argument."""
    if c in SCALARS:
        return {SCALARS[c]}
    if c in CALLBACKS:
        return {CALLBACKS[c]}
    if c.endswith("*"):
        if role == "parameter":
            return PARAMETER_POINTERS.get(c, {"IntPtr"})
        return {"IntPtr"}
    return set()


def compare(what, c_signature, cs_return, cs_params, role):
    c_return, c_params = c_signature
    problems = []
    if cs_return not in allowed(c_return, "return"):
        problems.append("%s returns %s, the header %s" % (what, cs_return, c_return))
    if len(cs_params) != len(c_params):
        problems.append("%s takes %d arguments, the header %d" % (what, len(cs_params),
                                                                   len(c_params)))
        return problems
    for i, (cs, c) in enumerate(zip(cs_params, c_params)):
        if cs not in allowed(c, role):
            problems.append("%s argument %d is %s, the header's %s wants one of %s" % (
                what, i + 1, cs, c, ", ".join(sorted(allowed(c, role))) or "nothing known"))
    return problems


def check(library_header, client_header, exports, sources):
    """Problems found, as readable lines; none when the binding is complete."""
    problems = []
    library = parse_c_functions(library_header, "KRMM_API")
    client = dict(NETWORKED_CLIENT, **parse_c_functions(client_header, "HY_API"))
    callbacks = dict(parse_c_callbacks(library_header), **parse_c_callbacks(client_header))
    expected = set(exports.split())
    if set(library) != expected:
        problems.append("the library header declares %s, the export list has %s" % (
            sorted(set(library) - expected), sorted(expected - set(library))))

    imports, delegates, libraries = [], {}, {}
    for source in sources.values():
        imports += [(source,) + i for i in parse_cs_imports(source)]
        delegates.update(parse_cs_delegates(source))
        libraries.update(parse_cs_libraries(source))
    library_names = {"KRMatchmakingSystem": library, "halyard": client}

    seen, used_callbacks = set(), set()
    for source, name, library_expression, attribute, cs_return, cs_params in imports:
        if name in seen:
            problems.append("%s is imported twice" % name)
        seen.add(name)
        if CDECL not in attribute:
            problems.append("%s is imported without %s" % (name, CDECL))
        target = library_expression.strip('"')
        if target == "Library" or target.endswith(".Library"):
            owner = target.split(".")[0] if "." in target else class_of(source, name)
            target = libraries.get(owner, target)
        declared = library_names.get(target)
        if declared is None:
            problems.append("%s is imported from an unknown library %s" % (name, target))
            continue
        if name not in declared:
            problems.append("%s is imported from %s, whose header does not declare it" % (
                name, target))
            continue
        problems += compare(name, declared[name], cs_return, cs_params, "parameter")
        used_callbacks.update(c for c in declared[name][1] if c in CALLBACKS)

    for name in sorted(expected - seen):
        problems.append("%s has no binding" % name)
    for name in sorted(n for n in client if n.startswith("hyn_") and n not in seen):
        problems.append("%s has no binding" % name)

    for c_name in sorted(used_callbacks):
        cs_name = CALLBACKS[c_name]
        if cs_name not in delegates:
            problems.append("the delegate %s for %s is missing" % (cs_name, c_name))
            continue
        attributes, cs_return, cs_params = delegates[cs_name]
        if not re.search(r"UnmanagedFunctionPointer\s*\(\s*" + re.escape(CDECL), attributes):
            problems.append("the delegate %s is not [UnmanagedFunctionPointer(%s)]" % (
                cs_name, CDECL))
        problems += compare("the delegate " + cs_name, callbacks[c_name], cs_return, cs_params,
                            "callback")
    return problems


def class_of(source, name):
    """The class whose body holds the import of name."""
    position = re.search(r"\b" + name + r"\s*\(", source).start()
    classes = [m for m in re.finditer(r"class\s+(\w+)", source) if m.start() < position]
    return classes[-1].group(1) if classes else ""


def load(root):
    root = pathlib.Path(root)
    sources = {str(p): p.read_text(encoding="utf-8")
               for p in sorted((root / "bindings" / "csharp").glob("*.cs"))}
    return ((root / "include" / "KRMatchmakingSystem.h").read_text(),
            (root / "halyard" / "include" / "halyard.h").read_text(),
            (root / "tests" / "exports" / "expected_exports.txt").read_text(), sources)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=pathlib.Path(__file__).resolve().parents[3])
    args = parser.parse_args()
    library_header, client_header, exports, sources = load(args.root)
    problems = check(library_header, client_header, exports, sources)
    for problem in problems:
        print("C# binding: " + problem, file=sys.stderr)
    if problems:
        return 1
    imported = sum(len(parse_cs_imports(s)) for s in sources.values())
    print("C# binding: %d library exports and %d client library functions bound as declared" % (
        len(exports.split()), imported - len(exports.split())))
    return 0


if __name__ == "__main__":
    sys.exit(main())
