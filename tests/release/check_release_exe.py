#!/usr/bin/env python3
"""Checks the release program (the i686 VYN2005.exe) on the build machine.

- Its static imports are DLLs the system pins (KnownDLLs) or comctl32, which
  the manifest redirects: nothing a planted copy beside the program could
  stand in for. The rest (wininet, version, bcrypt) is delay-loaded after
  start-up has limited the DLL search to System32.
- It holds no test hook: not even the name of the server override.
- It stays within its size budget (README: Build details): a C++ library
  part such as iostreams coming back shows here first.
- It holds no copy of the library's old reference-counted string, which its
  exception classes bring (app/QuietLibraryErrors.cpp keeps them out): over
  40 KB that would otherwise come back unnoticed below the budget.

usage: check_release_exe.py <VYN2005.exe> <objdump>
Exits 77 (skipped) when the program has not been built.
"""
import re
import subprocess
import sys

KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "gdi32.dll", "gdiplus.dll", "imagehlp.dll",
    "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll",
    "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}
ALLOWED = KNOWN_DLLS | {"comctl32.dll"}
DELAY_LOADED = {"wininet.dll", "version.dll", "bcrypt.dll"}
TEST_HOOK_NAMES = [b"VYN2005_SERVER"]
# The reference-counted string's message for a null pointer.
REFERENCE_COUNTED_STRING = b"basic_string::_S_construct null not valid"
SIZE_BUDGET = 450 * 1024


def main():
    exe, objdump = sys.argv[1], sys.argv[2]
    try:
        with open(exe, "rb") as f:
            image = f.read()
    except FileNotFoundError:
        print(f"skipped: the release program {exe} is not built (scripts/build builds it)")
        return 77
    dump = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    failures = []
    if not imports:
        failures.append("no import table found")
    for name in sorted(imports - ALLOWED):
        failures.append(f"imports {name} statically: it is not pinned by the system")
    for name in sorted(DELAY_LOADED):
        if name.encode() not in image.lower():
            failures.append(f"does not name {name}: is it delay-loaded at all?")
    for hook in TEST_HOOK_NAMES:
        if hook in image:
            failures.append(f"contains the test hook name {hook.decode()}")
    if REFERENCE_COUNTED_STRING in image:
        failures.append("contains the library's reference-counted string")
    if len(image) > SIZE_BUDGET:
        failures.append(f"is {len(image)} bytes, over its budget of {SIZE_BUDGET}")
    for failure in failures:
        print(f"{exe}: {failure}")
    if not failures:
        print(f"{exe}: imports only {', '.join(sorted(imports))}; no test hooks; {len(image)} bytes")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
