#!/usr/bin/env python3
"""Checks the VBA module of the Windows release against the C side, no Office
needed. For each way VBA compiles it (64-bit VBA7, 32-bit VBA7, VBA6): the
Segment type at the header's offsets and types under that host's alignment;
Declares of exactly the header's functions, with matching arguments, PtrSafe
where VBA7 needs it and the DLL of the host's bitness. Also: SaveSetting
stores exactly the settings of examples/CNC.ini, and every failure code of
the header has its message.

    check_vba_module.py MODULE.bas
"""
import re
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
HEADER = (SOURCE / "include/brevanto/brevanto.h").read_text()
SETTINGS = (SOURCE / "examples/CNC.ini").read_text()

# Compile constants, and the pointer size, which is also the largest member
# alignment: 32-bit VBA aligns Type members at 4 at most, 64-bit at 8.
HOSTS = [("64-bit VBA7", {"VBA7": True, "Win64": True}, 8),
         ("32-bit VBA7", {"VBA7": True, "Win64": False}, 4),
         ("VBA6", {"VBA7": False, "Win64": False}, 4)]
VBA_SIZES = {"Byte": 1, "Integer": 2, "Boolean": 2, "Long": 4, "Single": 4, "Double": 8,
             "Currency": 8, "Date": 8, "LongLong": 8}
C_TO_VBA = {"double": "Double", "float": "Single", "int32_t": "Long"}


def logical_lines(text):
    """Lines without comments, continuations joined."""
    lines, pending = [], ""
    for raw in text.splitlines():
        code = re.match(r'(?:[^\'"]|"[^"]*")*', raw)[0].strip()  # up to a ' outside quotes
        if code.endswith(" _"):
            pending += code[:-1]
        elif pending + code:
            lines.append(pending + code)
            pending = ""
    return lines


def active_lines(lines, constants):
    """The lines VBA compiles under the given compile constants."""
    def value(expr):
        words = re.findall(r"\w+", expr)
        return eval(" ".join(str(constants[w]) if w in constants else
                             {"Not": "not", "And": "and", "Or": "or"}[w] for w in words))

    active, stack = [], []  # per open #If: (enclosing on, a branch taken, this branch on)
    for line in lines:
        if m := re.fullmatch(r"#(If|ElseIf) (.+) Then", line):
            outer, taken = (not stack or stack[-1][2], False) if m[1] == "If" else stack.pop()[:2]
            on = outer and not taken and value(m[2])
            stack.append((outer, taken or on, on))
        elif line == "#Else":
            outer, taken, _ = stack.pop()
            stack.append((outer, True, outer and not taken))
        elif line == "#End If":
            stack.pop()
        elif not stack or stack[-1][2]:
            active.append(line)
    assert not stack, "#If without #End If"
    return active


def header_fields():
    """[(name, VBA type, offset)] of Segment, and its size, from the header."""
    body = re.sub(r"/\*.*?\*/", "", re.search(r"struct Segment \{(.*?)\}", HEADER, re.S)[1])
    types = {name.strip(): C_TO_VBA[ctype]
             for ctype, names in re.findall(r"(\w+) ([\w, ]+);", body) for name in names.split(",")}
    offsets = re.findall(r"offsetof\(Segment, (\w+)\) == (\d+)", HEADER)
    size = int(re.search(r"sizeof\(Segment\) == (\d+)", HEADER)[1])
    return [(name, types[name], int(offset)) for name, offset in offsets], size


def vba_fields(lines, pointer):
    """The same of the module's Segment on a host with this pointer size."""
    start = lines.index("Public Type Segment")
    fields, offset, widest = [], 0, 1
    for line in lines[start + 1:lines.index("End Type", start)]:
        name, vtype = re.fullmatch(r"(\w+) As (\w+)", line).groups()
        size = pointer if vtype == "LongPtr" else VBA_SIZES[vtype]
        align = min(size, pointer)
        offset = -(-offset // align) * align
        fields.append((name, vtype, offset))
        offset += size
        widest = max(widest, align)
    return fields, -(-offset // widest) * widest


def header_functions(pointer_type):
    """name -> ([VBA argument types], VBA return type) from the prototypes."""
    def vba(ctype):
        ctype = ctype.replace("const ", "").strip()
        if ctype == "char*":
            return pointer_type
        if ctype.endswith("*"):
            return "ByRef " + C_TO_VBA.get(ctype[:-1], ctype[:-1])
        return C_TO_VBA[ctype]
    prototypes = re.findall(r"BREVANTO_API (.+?) BREVANTO_CALL (\w+)\((.*?)\);", HEADER)
    return {name: ([] if args == "void" else [vba(a.rsplit(" ", 1)[0]) for a in args.split(",")],
                   vba(ret)) for ret, name, args in prototypes}


def dll_declares(lines):
    """name -> (PtrSafe, DLL path, [argument types], return type) of the DLL's Declares."""
    found = {}
    for line in lines:
        m = re.fullmatch(r"(?:Private |Public )?Declare (PtrSafe )?(?:Function|Sub) (\w+) "
                         r'Lib "([^"]+)"(?: Alias "[^"]+")? \((.*)\)(?: As (\w+))?', line)
        if m and m[3].lower().endswith("brevanto.dll"):
            args = [re.sub(r"^(?:(ByRef )|ByVal )\w+ As ", r"\1", a.strip())
                    for a in m[4].split(",") if a.strip()]
            found[m[2]] = (bool(m[1]), m[3], args, m[5])
    return found


def main(module_path):
    data = Path(module_path).read_bytes()
    results = []

    def check(ok, what):
        results.append(ok)
        print(("ok   " if ok else "FAIL ") + what)

    check(data.isascii(), "plain ASCII (VBA imports the module in the ANSI code page)")
    check(data.startswith(b'Attribute VB_Name = "Brevanto"'), "the module is named Brevanto")
    lines = logical_lines(data.decode("ascii", "replace"))
    expected_fields, expected_size = header_fields()

    for host, constants, pointer in HOSTS:
        active = active_lines(lines, constants)
        fields, size = vba_fields(active, pointer)
        same = fields == expected_fields and size == expected_size
        check(same, f"{host}: Segment is {size} bytes, fields at the header's offsets"
              + ("" if same else f"\n     got      {fields}\n     expected {expected_fields}"))
        functions = header_functions("LongPtr" if constants["VBA7"] else "Long")
        found = dll_declares(active)
        check(set(found) == set(functions), f"{host}: Declares of {sorted(found)}")
        folder = "\\x64\\" if constants["Win64"] else "\\x86\\"
        for name, (ptrsafe, path, args, ret) in found.items():
            ok = ptrsafe == constants["VBA7"] and folder in path and (args, ret) == functions.get(name)
            check(ok,
                  f"{host}: {name}({', '.join(args)}) As {ret} from {path}, PtrSafe {ptrsafe}")

    saved = re.findall(r'SaveSetting "Brevanto", "CNC", "(\w+)"', "\n".join(lines))
    # The settings of the macro's dialog: the rows of the settings table
    # marked inMacroDialog (the others are the command's and a settings
    # file's only), all of them in examples/CNC.ini.
    table = "".join((SOURCE / "include/brevanto" / name).read_text()
                    for name in ("setting_rows.h", "feature_setting_rows.h"))
    rows = re.findall(r'\{\.name = "(\w+)"(.*?)\}', table, re.S)
    wanted = [name for name, row in rows if ".inMacroDialog = true" in row]
    check(set(wanted) <= set(re.findall(r"^(\w+)=", SETTINGS, re.M)),
          "examples/CNC.ini has every setting of the macro's dialog")
    check(sorted(saved) == sorted(wanted), f"SaveSetting stores {saved}")
    codes = re.findall(r"#define BREVANTO_\w+ \((-\d+)\)", HEADER)
    missing = [c for c in codes if not any(re.match(rf"Case {c}\b", line) for line in lines)]
    check(not missing, f"every failure code {codes} has its message")

    failed = results.count(False)
    print(f"vba module: {len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: check_vba_module.py MODULE.bas")
    sys.exit(main(sys.argv[1]))
