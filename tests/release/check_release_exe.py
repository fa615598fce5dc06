#!/usr/bin/env python3
"""Checks the release program (the i686 VYN2005.exe) on the build machine.

- Its static imports are DLLs the system pins (KnownDLLs) or comctl32, which
  the manifest redirects: nothing a planted copy beside the program could
  stand in for. The rest (wininet, version, bcrypt, wintrust, crypt32) is
  delay-loaded after start-up has limited the DLL search to System32.
- It holds no test hook: not even the name of the server override.
- It carries an Authenticode signature.
- It stays within its size budget (README: Build details): a C++ library
  part such as iostreams coming back shows here first. The budget is for
  the program itself: the signature, whose size depends on the
  certificate chain and on a timestamp, is not counted.
- It holds no copy of the library's old reference-counted string, which its
  exception classes bring (app/QuietLibraryErrors.cpp keeps them out): over
  40 KB that would otherwise come back unnoticed below the budget.

usage: check_release_exe.py <VYN2005.exe> <objdump>
Exits 77 (skipped) when the program has not been built.
"""
import re
import struct
import subprocess
import sys

KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "gdi32.dll", "gdiplus.dll", "imagehlp.dll",
    "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll",
    "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}
ALLOWED = KNOWN_DLLS | {"comctl32.dll"}
DELAY_LOADED = {"wininet.dll", "version.dll", "bcrypt.dll", "wintrust.dll", "crypt32.dll"}
TEST_HOOK_NAMES = [b"VYN2005_SERVER"]
# The reference-counted string's message for a null pointer.
REFERENCE_COUNTED_STRING = b"basic_string::_S_construct null not valid"
SIZE_BUDGET = 450 * 1024
SECURITY_DIRECTORY = 4


def certificate_table(image):
    """The (file offset, size) of the image's Authenticode certificate table, (0, 0) when unsigned."""
    header = struct.unpack_from("<I", image, 0x3C)[0]
    if image[header:header + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    optional = header + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    return struct.unpack_from("<II", image, directories + 8 * SECURITY_DIRECTORY)


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
    table_offset, table_size = certificate_table(image)
    if table_size == 0:
        failures.append("carries no Authenticode signature")
    elif table_offset + table_size != len(image):
        failures.append("has data after its signature")
    # The signature is appended at the end, after padding to 8 bytes: what
    # comes before it is the program as linked.
    program_size = table_offset if table_size else len(image)
    if program_size > SIZE_BUDGET:
        failures.append(f"is {program_size} bytes without its signature, over its budget of {SIZE_BUDGET}")
    for failure in failures:
        print(f"{exe}: {failure}")
    if not failures:
        print(f"{exe}: imports only {', '.join(sorted(imports))}; no test hooks; signed; "
              f"{program_size} bytes and {table_size} bytes of signature")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
