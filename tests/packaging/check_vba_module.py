#!/usr/bin/env python3
"""Checks the VBA module of the Windows release against the C side, without
Office: for each way VBA compiles it (64-bit VBA7, 32-bit VBA7, VBA6) the
Segment type must lay its fields out at the header's offsets with the
header's types under that host's alignment, and the Declares must name
exactly the header's functions with matching arguments, PtrSafe where VBA7
needs it and the DLL of the host's bitness. The SaveSetting calls must store
exactly the settings of examples/CNC.ini, and every failure code of the
header must have its own message.

    check_vba_module.py MODULE.bas
"""
import re
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
HEADER = (SOURCE / "include/brevanto/brevanto.h").read_text()
SETTINGS = (SOURCE / "examples/CNC.ini").read_text()

# The VBA hosts: compile constants, pointer size, largest member alignment
# (32-bit VBA aligns UDT members at 4 at most, 64-bit at 8).
HOSTS = [
    ("64-bit VBA7", {"VBA7": True, "Win64": True}, 8, 8),
    ("32-bit VBA7", {"VBA7": True, "Win64": False}, 4, 4),
    ("VBA6", {"VBA7": False, "Win64": False}, 4, 4),
]
VBA_SIZES = {"Byte": 1, "Integer": 2, "Boolean": 2, "Long": 4, "Single": 4,
             "Double": 8, "Currency": 8, "Date": 8, "LongLong": 8}
C_TO_VBA = {"double": "Double", "float": "Single", "int32_t": "Long"}


def logical_lines(text):
    """Lines without comments, continuations joined."""
    lines, pending = [], ""
    for raw in text.splitlines():
        code, quoted = "", False
        for ch in raw:
            if ch == '"':
                quoted = not quoted
            elif ch == "'" and not quoted:
                break
            code += ch
        code = pending + code.strip()
        if code.endswith(" _"):
            pending = code[:-1]
            continue
        pending = ""
        if code:
            lines.append(code)
    return lines


def active_lines(lines, constants):
    """The lines VBA compiles under the given #Const values."""
    def value(expr):
        words = re.findall(r"\w+", expr)
        unknown = [w for w in words if w not in constants and w not in ("Not", "And", "Or")]
        if unknown:
            raise ValueError(f"unknown compile constant {unknown[0]} in #If {expr}")
        return eval(" ".join(str(constants.get(w, w.lower())) for w in words))

    active, stack = [], []  # per #If: (enclosing active, a branch taken, this branch on)
    for line in lines:
        if m := re.fullmatch(r"#If (.+) Then", line, re.I):
            outer = not stack or stack[-1][2]
            on = outer and value(m[1])
            stack.append((outer, on, on))
        elif m := re.fullmatch(r"#ElseIf (.+) Then", line, re.I):
            outer, taken, _ = stack.pop()
            on = outer and not taken and value(m[1])
            stack.append((outer, taken or on, on))
        elif re.fullmatch(r"#Else", line, re.I):
            outer, taken, _ = stack.pop()
            stack.append((outer, True, outer and not taken))
        elif re.fullmatch(r"#End If", line, re.I):
            stack.pop()
        elif not stack or stack[-1][2]:
            active.append(line)
    if stack:
        raise ValueError("#If without #End If")
    return active


def header_fields():
    """(name, VBA type, offset) of each Segment field, from the header."""
    body = re.search(r"typedef struct Segment \{(.*?)\} Segment;", HEADER, re.S)[1]
    types = {}
    for ctype, names in re.findall(r"(\w+) ([\w, ]+);", re.sub(r"/\*.*?\*/", "", body)):
        for name in names.split(","):
            types[name.strip()] = C_TO_VBA[ctype]
    offsets = re.findall(r"offsetof\(Segment, (\w+)\) == (\d+)", HEADER)
    size = int(re.search(r"sizeof\(Segment\) == (\d+)", HEADER)[1])
    return [(name, types[name], int(offset)) for name, offset in offsets], size


def vba_fields(lines, pointer, pack):
    """(name, type, offset) of the module's Segment and its size on one host."""
    start = lines.index("Public Type Segment")
    fields, offset, widest = [], 0, 1
    for line in lines[start + 1:lines.index("End Type", start)]:
        name, vtype = re.fullmatch(r"(\w+) As (\w+)", line).groups()
        size = pointer if vtype == "LongPtr" else VBA_SIZES[vtype]
        align = min(size, pack)
        offset = -(-offset // align) * align
        fields.append((name, vtype, offset))
        offset += size
        widest = max(widest, align)
    return fields, -(-offset // widest) * widest


def header_functions():
    """name -> (VBA argument types, VBA return type) from the prototypes."""
    def vba(ctype):
        ctype = ctype.replace("const ", "").strip()
        if ctype == "char*":
            return "pointer"
        if ctype.endswith("*"):
            return "ByRef " + C_TO_VBA.get(ctype[:-1], ctype[:-1])
        return C_TO_VBA[ctype]
    functions = {}
    for ret, name, args in re.findall(r"BREVANTO_API (.+?) BREVANTO_CALL (\w+)\((.*?)\);", HEADER):
        params = [] if args == "void" else [vba(a.rsplit(" ", 1)[0]) for a in args.split(",")]
        functions[name] = (params, vba(ret))
    return functions


def declares(lines):
    """name -> (PtrSafe, DLL path, argument types, return type) of the DLL's Declares."""
    found = {}
    for line in lines:
        m = re.fullmatch(r"(?:Private |Public )?Declare (PtrSafe )?(?:Function|Sub) (\w+) "
                         r'Lib "([^"]+)"(?: Alias "[^"]+")? \((.*)\)(?: As (\w+))?', line)
        if not m or not m[3].lower().endswith("brevanto.dll"):
            continue
        params = []
        for arg in filter(None, (a.strip() for a in m[4].split(","))):
            how, vtype = re.fullmatch(r"(ByRef|ByVal) \w+ As (\w+)", arg).groups()
            params.append(("ByRef " if how == "ByRef" else "") + vtype)
        found[m[2]] = (bool(m[1]), m[3], params, m[5])
    return found


def main(module_path):
    data = Path(module_path).read_bytes()
    results = []

    def check(ok, what):
        results.append(ok)
        print(("ok   " if ok else "FAIL ") + what)

    check(data.isascii(), "the module is plain ASCII (VBA imports it in the ANSI code page)")
    lines = logical_lines(data.decode("ascii", "replace"))
    check(data.startswith(b'Attribute VB_Name = "Brevanto"'), "the module is named Brevanto")

    expected_fields, expected_size = header_fields()
    functions = header_functions()
    exports = set(re.findall(r"^\s+(\w+)", (SOURCE / "cmake/brevanto.def").read_text(), re.M))
    check(set(functions) == exports, f"the header's functions {sorted(functions)} are the DLL's exports")

    for host, constants, pointer, pack in HOSTS:
        active = active_lines(lines, constants)
        fields, size = vba_fields(active, pointer, pack)
        same = fields == expected_fields and size == expected_size
        check(same, f"{host}: Segment is {size} bytes, fields at the header's offsets"
              + ("" if same else f"\n     got      {fields}\n     expected {expected_fields}"))
        pointer_type = "LongPtr" if constants["VBA7"] else "Long"
        found = declares(active)
        check(set(found) == set(functions), f"{host}: Declares of {sorted(found)}")
        found = {name: d for name, d in found.items() if name in functions}
        folder = "\\x64\\" if constants["Win64"] else "\\x86\\"
        for name, (ptrsafe, path, params, ret) in found.items():
            wanted_params, wanted_ret = functions[name]
            wanted_ret = pointer_type if wanted_ret == "pointer" else wanted_ret
            check(ptrsafe == constants["VBA7"] and folder in path and
                  (params, ret) == (wanted_params, wanted_ret),
                  f"{host}: {name}({', '.join(params)}) -> {ret} from {path}, PtrSafe {ptrsafe}")
        stray = [l for l in active if "PtrSafe" in l and not constants["VBA7"]]
        check(not stray, f"{host}: no PtrSafe outside VBA7")

    saved = re.findall(r'SaveSetting "Brevanto", "CNC", "(\w+)"', "\n".join(lines))
    wanted = re.findall(r"^(\w+)=", SETTINGS, re.M)
    check(sorted(saved) == sorted(wanted), f"SaveSetting stores {saved}")
    codes = re.findall(r"#define BREVANTO_\w+ \((-\d+)\)", HEADER)
    missing = [c for c in codes if not any(re.match(rf"Case {c}\b", l) for l in lines)]
    check(not missing, f"every failure code {codes} has its message")

    failed = results.count(False)
    print(f"vba module: {len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: check_vba_module.py MODULE.bas")
    sys.exit(main(sys.argv[1]))
