#!/usr/bin/env python3
"""Builds the zip archives the engine tests read, with Info-ZIP zip, Python's
zipfile and the JDK's jar tool. Usage: make_archives.py <output folder>

The tests know the constants below (times, contents); keep both in step."""
import os
import shutil
import struct
import subprocess
import sys
import zipfile

MTIME = 1600000000  # 2020-09-13 12:26:40 UTC
ATIME = 1500000000  # 2017-07-14 02:40:00 UTC
UT_MTIME = 1234567890  # 2009-02-13 23:31:30 UTC
UT_DOS_TIME = (2001, 2, 3, 4, 5, 6)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (ATIME, MTIME))


def zip_tree(archive, folder, *args):
    # TZ=UTC: the DOS times in the archive are then the UTC clock readings.
    env = dict(os.environ, TZ="UTC")
    subprocess.run(["zip", "-q", "-r", *args, archive, "."], cwd=folder, env=env, check=True)


def basic(out):
    src = os.path.join(out, "basic-src")
    write(os.path.join(src, "readme.txt"), b"The quick brown fox jumps over the lazy dog.\n" * 400)
    write(os.path.join(src, "lib", "a.jar"), bytes(range(256)) * 64)
    write(os.path.join(src, "lib", "ext", "deep", "b.jar"), b"nested member\n" * 50)
    # .bin is stored, not deflated (-n).
    write(os.path.join(src, "data", "stored.bin"), bytes((i * 7) & 0xFF for i in range(5000)))
    write(os.path.join(src, "ro.txt"), b"read only on Unix\n")
    os.chmod(os.path.join(src, "ro.txt"), 0o444)
    os.makedirs(os.path.join(src, "empty", "inner"), exist_ok=True)
    for folder in ("empty/inner", "empty", "lib/ext/deep", "lib/ext", "lib", "data"):
        os.utime(os.path.join(src, folder), (ATIME, MTIME))
    zip_tree(os.path.join(out, "basic.zip"), src, "-n", ".bin")


def timestamps(out):
    with zipfile.ZipFile(os.path.join(out, "stamps.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        info = zipfile.ZipInfo("stamp.txt", UT_DOS_TIME)
        info.external_attr = 0o100644 << 16
        info.extra = struct.pack("<2sHBi", b"UT", 5, 1, UT_MTIME)
        z.writestr(info, b"extended timestamp, write time only\n")
        # DOS archive bit and no Unix half (as made on Windows): read-only.
        bare = zipfile.ZipInfo("bare.txt", UT_DOS_TIME)
        bare.external_attr = 0x20
        z.writestr(bare, b"no attributes\n")
        # DOS attributes only: hidden and archive, with a writable Unix half.
        dos = zipfile.ZipInfo("hidden.txt", UT_DOS_TIME)
        dos.external_attr = (0o100644 << 16) | 0x22
        z.writestr(dos, b"hidden\n")


def damaged(out):
    good = os.path.join(out, "damaged-src")
    write(os.path.join(good, "big.txt"), b"".join(b"line %06d of a deflated member\n" % i for i in range(4000)))
    write(os.path.join(good, "plain.bin"), bytes((i * 13) & 0xFF for i in range(4000)))
    archive = os.path.join(out, "damaged.zip")
    zip_tree(archive, good, "-n", ".bin")
    data = bytearray(open(archive, "rb").read())
    with zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            # Local header: 30 bytes, then the name and the extra field.
            name_len, extra_len = struct.unpack("<HH", data[info.header_offset + 26:info.header_offset + 30])
            start = info.header_offset + 30 + name_len + extra_len
            middle = start + info.compress_size // 2
            for i in range(middle, middle + 16):
                data[i] ^= 0x5A
    open(archive, "wb").write(bytes(data))
    whole = open(os.path.join(out, "basic.zip"), "rb").read()
    open(os.path.join(out, "truncated.zip"), "wb").write(whole[: len(whole) // 2])
    open(os.path.join(out, "notzip.zip"), "wb").write(b"This is plain text, not an archive.\n" * 20)


def malicious(out):
    with zipfile.ZipFile(os.path.join(out, "evil.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        for name in ("../escape.txt", "sub/../../climb.txt", "/rooted.txt", "C:/drive.txt",
                     "sub/.../dots.txt", "sub\\..\\..\\back.txt", "good/ok.txt", "../evildir/"):
            info = zipfile.ZipInfo(name, UT_DOS_TIME)
            info.external_attr = (0o40755 << 16 | 0x10) if name.endswith("/") else 0o100644 << 16
            z.writestr(info, b"" if name.endswith("/") else ("payload of " + name + "\n").encode())
    # Names Windows would not take as written: devices, trimmed endings.
    with zipfile.ZipFile(os.path.join(out, "devices.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        for name in ("good.txt", "lib/nul.txt", "aux.jar", "COM1", "lib./a.jar", "trail.txt ", "conf /x.xml"):
            info = zipfile.ZipInfo(name, UT_DOS_TIME)
            info.external_attr = 0o100644 << 16
            z.writestr(info, ("payload of " + name + "\n").encode())


def application(out):
    # Two versions of an application archive, for install and reinstall.
    for version in (1, 2):
        src = os.path.join(out, "app%d-src" % version)
        text = lambda name: ("%s version %d\n" % (name, version)).encode()
        for name in ("app/conf/settings.xml", "app/bin/QuillmarApp.bat", "app/bin/QuillmarApp.sh",
                     "app/lib/core.jar", "conf/app.xml", "app/conf/readme.txt"):
            write(os.path.join(src, *name.split("/")), text(name))
        if version == 2:
            write(os.path.join(src, "app", "conf", "added.xml"), text("app/conf/added.xml"))
        zip_tree(os.path.join(out, "app%d.zip" % version), src)


def windows(out):
    # As made on Windows: no Unix attribute half, so every member comes out
    # read-only by the attribute rule.
    with zipfile.ZipFile(os.path.join(out, "windows.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in (("bin/QuillmarApp.bat", b"set JAVA_PATH=\"\"\r\nset CLASSPATH=..\\lib\\app.jar\r\n"),
                           ("lib/app.jar", b"application library\n")):
            info = zipfile.ZipInfo(name, UT_DOS_TIME)
            info.create_system = 0
            info.external_attr = 0x20
            z.writestr(info, data)


def patch_names(archive, placeholder, raw):
    # Both copies of each name (local header and central directory) are
    # replaced by bytes of the same length that zipfile would not write.
    assert len(placeholder) == len(raw)
    data = open(archive, "rb").read()
    assert data.count(placeholder) == 2
    open(archive, "wb").write(data.replace(placeholder, raw))


NAIVE_CAFE = "conf/na\u00efve-caf\u00e9.txt"


def names(out):
    # zipfile stores a non-ASCII name as UTF-8 and sets the language-encoding flag.
    with zipfile.ZipFile(os.path.join(out, "utf8.zip"), "w") as z:
        info = zipfile.ZipInfo(NAIVE_CAFE, UT_DOS_TIME)
        info.external_attr = 0o100644 << 16
        z.writestr(info, b"utf-8 name\n")
        z.writestr(zipfile.ZipInfo("\u041f\u0440\u043e\u0433/\u5343.txt", UT_DOS_TIME), b"cyrillic and cjk\n")
    # Without the flag a name is code page 437: 0x82 is "\u00e9", 0x94 "\u00f6", 0xE1 "\u00df".
    archive = os.path.join(out, "cp437.zip")
    with zipfile.ZipFile(archive, "w") as z:
        z.writestr(zipfile.ZipInfo("conf/cafX-Y-Z.txt", UT_DOS_TIME), b"code page 437 name\n")
    patch_names(archive, b"cafX-Y-Z", b"caf\x82-\x94-\xe1")
    # The flag set on bytes that are not UTF-8 ("\u00e9" as Latin-1, then "A").
    archive = os.path.join(out, "badutf8.zip")
    with zipfile.ZipFile(archive, "w") as z:
        z.writestr(zipfile.ZipInfo("good.txt", UT_DOS_TIME), b"fine\n")
        z.writestr(zipfile.ZipInfo("bad-\u00e9.txt", UT_DOS_TIME), b"never written\n")
    patch_names(archive, "bad-\u00e9".encode(), b"bad-\xe9A")


DEEP_FOLDER = "/".join(("level%d-" % i) + "d" * 52 for i in range(5))  # 5 x 60 characters


def deep(out):
    # A tree whose paths pass 260 characters below any folder.
    with zipfile.ZipFile(os.path.join(out, "deep.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(1, 6):
            info = zipfile.ZipInfo("/".join(DEEP_FOLDER.split("/")[:i]) + "/", UT_DOS_TIME)
            info.external_attr = 0o40755 << 16 | 0x10
            z.writestr(info, b"")
        info = zipfile.ZipInfo(DEEP_FOLDER + "/deep.txt", UT_DOS_TIME)
        info.external_attr = 0o100644 << 16
        z.writestr(info, b"far below\n")


def java(out):
    # The JDK's jar tool writes external attributes of 0 for every entry and
    # a directory entry for each folder ("bin/").
    src = os.path.join(out, "jar-src")
    write(os.path.join(src, "bin", "QuillmarApp.bat"), b"set JAVA_PATH=\"\"\r\nset CLASSPATH=..\\lib\\app.jar\r\n")
    write(os.path.join(src, "lib", "app.jar"), b"application library\n")
    write(os.path.join(src, *NAIVE_CAFE.split("/")), b"packed by jar\n")
    jar = shutil.which("jar")
    if jar is None:
        sys.exit("make_archives.py: the JDK's jar tool is needed (Debian: openjdk-17-jdk-headless)")
    subprocess.run([jar, "cfM", os.path.join(out, "java.zip"), "-C", src, "."], check=True)


def main():
    out = sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    basic(out)
    timestamps(out)
    damaged(out)
    malicious(out)
    application(out)
    windows(out)
    names(out)
    deep(out)
    java(out)


if __name__ == "__main__":
    main()
