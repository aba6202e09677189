#!/usr/bin/env python3
"""Checks the built 32-bit zavvfd.dll as a host will meet it: export names and
ordinals, stdcall clean-up of every export, imported DLLs, and the version record.

Usage: check_dll.py DLL [OBJDUMP]"""
import re
import struct
import subprocess
import sys

# Ordinal order and bytes of arguments (4 per 32-bit slot) of every export.
EXPORTS = [
    ("DISPLAYDLL_Init", 16),
    ("DISPLAYDLL_Done", 0),
    ("DISPLAYDLL_DriverName", 0),
    ("DISPLAYDLL_Usage", 0),
    ("DISPLAYDLL_DefaultParameters", 0),
    ("DISPLAYDLL_SetPosition", 8),
    ("DISPLAYDLL_Write", 4),
    ("DISPLAYDLL_CustomCharIndex", 4),
    ("DISPLAYDLL_CustomChar", 8),
    ("DISPLAYDLL_SetBrightness", 4),
]
ALLOWED_IMPORTS = {"kernel32.dll", "msvcrt.dll"}
EMPTY_TEXTS = ["CompanyName", "FileDescription", "InternalName", "LegalCopyright",
               "OriginalFilename", "ProductName", "Comments"]

passed = failed = 0


def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
        print(f"ok      {what}")
    else:
        failed += 1
        print(f"FAILED  {what}")


def export_table(headers):
    base = int(re.search(r"ImageBase\s+([0-9a-fA-F]+)", headers).group(1), 16)
    ordinal_base = int(re.search(r"Ordinal Base\s+(\d+)", headers).group(1))
    rvas = {int(i) + ordinal_base: int(rva, 16)
            for i, rva in re.findall(r"\[\s*(\d+)\] \+base\[\s*\d+\]\s+([0-9a-f]+) Export RVA", headers)}
    names = {name: int(i) + ordinal_base
             for i, name in re.findall(r"^\s*\[\s*(\d+)\] (\S+)\s*$",
                                       headers.split("[Ordinal/Name Pointer] Table")[1], re.M)}
    return base, rvas, names


def function_returns(disassembly):
    """Maps every labelled function to its address and the operands of its ret instructions."""
    functions, current = {}, None
    for line in disassembly.splitlines():
        label = re.match(r"^([0-9a-f]+) <(.+)>:$", line)
        if label:
            current = label.group(2)
            functions[current] = (int(label.group(1), 16), [])
            continue
        ret = re.search(r"\tret\s*(\$0x[0-9a-f]+)?\s*$", line)
        if ret and current:
            functions[current][1].append(int(ret.group(1)[1:], 16) if ret.group(1) else 0)
    return functions


def version_nodes(data, offset):
    """Parses one VS_VERSIONINFO node: (key, value bytes, children)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    key_end = data.index(b"\0\0", offset + 6)
    while (key_end - offset - 6) % 2:
        key_end = data.index(b"\0\0", key_end + 1)
    key = data[offset + 6:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    size = value_length * 2 if value_type == 1 else value_length
    value = data[pos:pos + size]
    pos = (pos + size + 3) & ~3
    children = []
    while pos < end:
        child = version_nodes(data, pos)
        children.append(child)
        pos = (pos + child[3] + 3) & ~3
    return key, value, children, length


def strings_of(node, found):
    key, value, children, _ = node
    if not children and value and key not in ("Translation",):
        found[key] = value.decode("utf-16-le").rstrip("\0")
    elif not children and not value:
        found[key] = ""
    for child in children:
        strings_of(child, found)
    return found


def main():
    dll = sys.argv[1]
    objdump = sys.argv[2] if len(sys.argv) > 2 else "i686-w64-mingw32-objdump"
    headers = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    disassembly = subprocess.run([objdump, "-d", dll], check=True, capture_output=True, text=True).stdout

    check("file format pei-i386" in subprocess.run([objdump, "-f", dll], capture_output=True,
                                                   text=True).stdout, "32-bit x86 PE file")
    base, rvas, names = export_table(headers)
    check(sorted(names) == sorted(n for n, _ in EXPORTS), f"exports exactly the ten functions: {sorted(names)}")
    check(len(rvas) == len(EXPORTS), f"export address table has {len(EXPORTS)} entries ({len(rvas)})")
    functions = function_returns(disassembly)
    for ordinal, (name, arg_bytes) in enumerate(EXPORTS, start=1):
        check(names.get(name) == ordinal, f"{name} at ordinal {ordinal} (found {names.get(name)})")
        symbol = f"_{name}@{arg_bytes}"
        address, rets = functions.get(symbol, (None, []))
        check(address is not None and rvas.get(ordinal) == address - base,
              f"{name} is the stdcall function {symbol}")
        check(rets and all(r == arg_bytes for r in rets), f"{name} returns with ret {arg_bytes} ({rets})")

    imports = {n.lower() for n in re.findall(r"DLL Name: (\S+)", headers)}
    check(imports and imports <= ALLOWED_IMPORTS, f"imports system DLLs only: {sorted(imports)}")

    data = open(dll, "rb").read()
    at = data.find("VS_VERSION_INFO".encode("utf-16-le"))
    check(at >= 6, "has a version record")
    if at >= 6:
        root = version_nodes(data, at - 6)
        fixed = struct.unpack_from("<13I", root[1])
        check(fixed[0] == 0xFEEF04BD, "fixed file info signature")
        check(fixed[2:6] == (0x10000, 0, 0x10000, 0), f"file and product version 1.0.0.0 ({fixed[2:6]})")
        texts = strings_of(root, {})
        check(texts.get("FileVersion") == "1.0.0.0", f"FileVersion text {texts.get('FileVersion')!r}")
        check(texts.get("ProductVersion") == "1.0.0.0", f"ProductVersion text {texts.get('ProductVersion')!r}")
        others = {k: v for k, v in texts.items() if k not in ("FileVersion", "ProductVersion")}
        check(all(v == "" for v in others.values()), f"other texts empty: {others}")

    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
