#!/usr/bin/env python3
"""The benchmark: our installer's main jobs against plain baselines, each
pair measured side by side in one run, best of N. Builds its payloads, serves
them from the update service on 127.0.0.1, runs the Win32 programs under the
Wine of the environment (scripts/bench sets it up), prints a table and writes
it as JSON.

    run_bench.py --build-root B [--smoke] [--runs N]
"""
import argparse
import hashlib
import json
import os
import random
import shutil
import subprocess
import sys
import time
import urllib.request

MB = 1024 * 1024


# ---------------------------------------------------------------- payloads

class Payloads:
    """Sizes of what the bench builds: the full run's, or the smoke run's 5 MB."""

    def __init__(self, smoke):
        if smoke:
            self.install_member = 4 * MB
            self.install_small_files = 200
            self.large_members = [MB, MB]
            self.small_files = 300
        else:
            self.install_member = 150 * MB
            self.install_small_files = 2000
            self.large_members = [40 * MB] * 4
            self.small_files = 3000


def text_bytes(rng, size):
    words = [b"installer", b"archive", b"member", b"folder", b"launcher", b"runtime", b"vendor", b"class"]
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rng.choice(words) for _ in range(12)) + b"\n"
    return bytes(out[:size])


def mixed_bytes(rng, size):
    """Half random, half text: deflate shrinks it to about 60 %."""
    half = size // 2
    return rng.randbytes(half) + text_bytes(rng, size - half)


def write_small_files(rng, root, count):
    for i in range(count):
        folder = os.path.join(root, "lib", "d%02d" % (i % 40))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "f%04d.txt" % i), "wb") as out:
            out.write(text_bytes(rng, rng.randrange(1000, 8000)))


def zip_folder(folder, archive):
    if os.path.exists(archive):
        os.remove(archive)
    subprocess.run(["zip", "-q", "-r", "-X", archive, "."], cwd=folder, check=True)


def build_payloads(sizes, work):
    """The three archives: few large members, thousands of small files, and
    the install payload (one big member, which is random like an already
    packed runtime, and many small files)."""
    rng = random.Random(2005)
    stage = os.path.join(work, "stage")
    archives = {}
    for name, fill in (
        ("large", lambda root: [open(os.path.join(root, "big%d.bin" % i), "wb").write(mixed_bytes(rng, size))
                                for i, size in enumerate(sizes.large_members)]),
        ("small", lambda root: write_small_files(rng, root, sizes.small_files)),
        ("install", lambda root: (
            os.makedirs(os.path.join(root, "runtime"), exist_ok=True),
            open(os.path.join(root, "runtime", "modules.bin"), "wb").write(rng.randbytes(sizes.install_member)),
            write_small_files(rng, root, sizes.install_small_files))),
    ):
        shutil.rmtree(stage, ignore_errors=True)
        os.makedirs(stage)
        fill(stage)
        archives[name] = os.path.join(work, name + ".zip")
        zip_folder(stage, archives[name])
    shutil.rmtree(stage, ignore_errors=True)
    return archives


def count_members(archive):
    out = subprocess.run(["unzip", "-Z1", archive], capture_output=True, text=True, check=True).stdout
    return sum(1 for line in out.splitlines() if line and not line.endswith("/"))


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(MB), b""):
            digest.update(block)
    return digest.hexdigest()


# ---------------------------------------------------------------- the service

SOFTWARE = """guid = a3d907:e2c41b7f96:-7c5e
id = 2001
name = VYN2005
versions = 2.00000
file = 7 | 2.00000 | 12/01/2026 | bench-app.zip
"""

INSTALLER = """guid = 4c8e21:10a7f5d2e64:-7d85
id = 1001
name = VYN2005 Installer
versions = 1.00000 1.01000
"""

SCRIPT = """<?xml version="1.0" encoding="ISO-8859-1"?>
<install>
<fileID>7</fileID>
<task><unzip /><fileName>{$DIR_UPDATES}bench-app.zip</fileName><dest>{$DIR_HOME}</dest><overwrite>true</overwrite></task>
<task><delete /><fileName>{$DIR_UPDATES}bench-app.zip</fileName></task>
</install>
"""


def write_publish_folder(publish, install_archive):
    shutil.rmtree(publish, ignore_errors=True)
    for sub in ("software", "scripts", "files"):
        os.makedirs(os.path.join(publish, sub))
    with open(os.path.join(publish, "software", "application.txt"), "w") as f:
        f.write(SOFTWARE)
    with open(os.path.join(publish, "software", "installer.txt"), "w") as f:
        f.write(INSTALLER)
    with open(os.path.join(publish, "scripts", "7.xml"), "w") as f:
        f.write(SCRIPT)
    os.link(install_archive, os.path.join(publish, "files", "bench-app.zip"))


class UpdateService:
    def __init__(self, program, publish, work):
        port_file = os.path.join(work, "service.port")
        if os.path.exists(port_file):
            os.remove(port_file)
        self.process = subprocess.Popen([program, "--root", publish, "--port", "0", "--port-file", port_file,
                                         "--max-seconds", "3600", "--quiet"])
        for _ in range(200):
            if os.path.exists(port_file) and open(port_file).read().strip():
                break
            time.sleep(0.05)
        self.port = int(open(port_file).read())
        self.base = "http://127.0.0.1:%d" % self.port

    def stop(self):
        try:
            urllib.request.urlopen(self.base + "/control/shutdown", timeout=5).read()
        except OSError:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


# ---------------------------------------------------------------- running

def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def settle():
    """Writes out what earlier runs left dirty, so no run pays for another's
    writes."""
    os.sync()


def run_wine(program, *args):
    """Runs a bench program under Wine; its "key value" lines as a dict."""
    settle()
    done = subprocess.run(["wine", program] + list(args), capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError("%s %s failed (%d): %s" % (os.path.basename(program), " ".join(args),
                                                      done.returncode, done.stderr.strip()[-2000:]))
    values = {}
    for line in done.stdout.replace("\r", "").splitlines():
        key, _, value = line.partition(" ")
        values[key] = value
    return values


def timed_native(command):
    settle()
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def best_of(runs, job):
    """Runs job() `runs` times; the smallest of its results."""
    return min(job() for _ in range(runs))


def measure(args):
    bench_bin = os.path.join(args.build_root, "x64", "bench")
    ours = os.path.join(bench_bin, "BenchOurs.exe")
    wininet_loop = os.path.join(bench_bin, "BenchWinInetLoop.exe")
    minizip_loop = os.path.join(bench_bin, "BenchMinizipLoop.exe")
    driver = os.path.join(bench_bin, "BenchInstallDriver.exe")
    installer = os.path.join(args.build_root, "x64", "VYN2005.exe")
    service_program = os.path.join(args.build_root, "native", "update-service")

    work = os.path.join(args.build_root, "bench", "smoke" if args.smoke else "work")
    os.makedirs(work, exist_ok=True)
    sizes = Payloads(args.smoke)
    print("building the payloads in %s" % work, flush=True)
    archives = build_payloads(sizes, work)
    publish = os.path.join(work, "publish")
    write_publish_folder(publish, archives["install"])
    install_bytes = os.path.getsize(archives["install"])
    install_sha = sha256_of(archives["install"])
    small_count = count_members(archives["small"])
    for name, path in sorted(archives.items()):
        print("  %-8s %7.1f MB, %d files" % (name + ".zip", os.path.getsize(path) / MB, count_members(path)))

    service = UpdateService(service_program, publish, work)
    os.environ["VYN2005_SERVER"] = service.base
    file_url = service.base + "/files/bench-app.zip"
    out = os.path.join(work, "out")
    rows = []
    try:
        print("measuring, best of %d" % args.runs, flush=True)
        # Each pair alternates ours and the baseline, so both see the same machine.
        download_dir = os.path.join(work, "download")

        def ours_download():
            fresh_folder(download_dir)
            return float(run_wine(ours, "download", file_url, "bench-app.zip",
                                  windows_path(download_dir) + "\\", install_sha)["seconds"])

        loop_peaks = []

        def loop_download():
            fresh_folder(download_dir)
            values = run_wine(wininet_loop, file_url, windows_path(os.path.join(download_dir, "a.zip")))
            loop_peaks.append(int(values["peak-working-set-bytes"]))
            return float(values["seconds"])

        ours_s, base_s = pair(args.runs, ours_download, loop_download)
        rows.append(row("Download %.0f MB: transport and progress vs plain 64 KB WinINet loop" % (install_bytes / MB),
                        ours_s, base_s, 1.15))
        wininet_best = base_s
        # The download checks the bytes' digest; what that alone costs here.
        hash_s = best_of(args.runs, lambda: float(run_wine(ours, "hash", windows_path(archives["install"]))["seconds"]))
        rows.append(info_row("  of which: CNG SHA-256 of the same bytes vs the plain loop", hash_s, base_s,
                             note="the digest runs beside the transfer, so our download takes at least this"))

        def ours_unzip(archive):
            return lambda: float(run_wine(ours, "unzip", windows_path(archive), windows_path(fresh_folder(out)))["seconds"])

        def native_unzip(archive):
            return lambda: (fresh_folder(out), timed_native(["unzip", "-q", "-o", archive, "-d", out]))[1]

        def minizip_unzip(archive):
            return lambda: float(run_wine(minizip_loop, windows_path(archive),
                                          windows_path(fresh_folder(out)))["seconds"])

        ours_s, base_s = pair(args.runs, ours_unzip(archives["large"]), native_unzip(archives["large"]))
        rows.append(row("Extract %d large members vs native unzip" % len(sizes.large_members), ours_s, base_s, 1.3))

        ours_s, base_s = pair(args.runs, ours_unzip(archives["small"]), minizip_unzip(archives["small"]))
        rows.append(row("Extract %d small files vs plain minizip loop" % small_count, ours_s, base_s, 1.3,
                        note="per file: %.2f ms vs %.2f ms" % (1000 * ours_s / small_count,
                                                               1000 * base_s / small_count)))

        native_install_unzip = best_of(args.runs, native_unzip(archives["install"]))
        # Into the folder the location page offers, as a user who clicks Next
        # gets it; the bench removes only what it installed there. The smoke
        # run, in the middle of the test run, installs below a folder of its
        # own instead.
        drive_c = os.path.join(os.environ["WINEPREFIX"], "drive_c")
        parent, parent_text = (os.path.join(drive_c, "vyn-bench-smoke"), "C:\\vyn-bench-smoke") if args.smoke \
            else (os.path.join(drive_c, "Program Files"), "C:\\PROGRAM FILES")
        company = os.path.join(parent, "Quillmar Technologies INC")
        if os.path.exists(company):
            raise RuntimeError("%s exists already: the bench installs there and removes what it installed" % company)
        os.makedirs(parent, exist_ok=True)
        results = []
        minizip_into_home = []
        try:
            for _ in range(args.runs):
                results.append(run_wine(driver, installer, parent_text if args.smoke else "default"))
                shutil.rmtree(company)
                # The plain minizip loop into the same folder, named as the
                # installer names it, under the same Wine: what creating
                # these files costs there.
                fresh_folder(os.path.join(company, "QMTApp"))
                minizip_into_home.append(float(run_wine(minizip_loop, windows_path(archives["install"]),
                                                        parent_text + "\\Quillmar Technologies INC\\QMTApp")
                                               ["seconds"]))
                shutil.rmtree(company)
        finally:
            shutil.rmtree(company, ignore_errors=True)
            if args.smoke:
                shutil.rmtree(parent, ignore_errors=True)
        install_s = min(float(r["install-seconds"]) for r in results)
        rows.append(row("Whole install of the %.0f MB payload vs WinINet loop + native unzip" % (install_bytes / MB),
                        install_s, wininet_best + native_install_unzip, 1.5))
        rows.append(info_row("  the same vs WinINet loop + plain minizip loop into the install folder under Wine",
                             install_s, wininet_best + min(minizip_into_home),
                             note="both baselines under the same Wine, into the same folder"))
        peak = max(int(r["peak-working-set-bytes"]) for r in results)
        rows.append(limit_row("Peak working set during that install (MB)", peak / MB, 40,
                              baseline=max(loop_peaks) / MB,
                              note="baseline: the plain WinINet loop's own peak under the same Wine"))
        startup = min(float(r["startup-seconds"]) for r in results)
        rows.append(limit_row("Start to licence page shown, warm Wine (s)", startup, 0.5))
    finally:
        service.stop()
        os.environ.pop("VYN2005_SERVER", None)
        shutil.rmtree(out, ignore_errors=True)
        shutil.rmtree(os.path.join(work, "download"), ignore_errors=True)

    release = os.path.join(args.build_root, "i686", "VYN2005.exe")
    if os.path.exists(release):
        stripped = os.path.join(work, "VYN2005-stripped.exe")
        subprocess.run(["i686-w64-mingw32-strip", "-o", stripped, release], check=True)
        rows.append(limit_row("Stripped i686 release exe (KB)", os.path.getsize(stripped) / 1024, 450))
    return rows


def pair(runs, ours, baseline):
    ours_times, base_times = [], []
    for _ in range(runs):
        ours_times.append(ours())
        base_times.append(baseline())
    return min(ours_times), min(base_times)


def row(name, ours, baseline, target, note=""):
    ratio = ours / baseline if baseline > 0 else float("inf")
    return {"measure": name, "ours": round(ours, 4), "baseline": round(baseline, 4), "unit": "s",
            "ratio": round(ratio, 3), "target": "<= %.2fx" % target, "pass": ratio <= target, "note": note}


def info_row(name, ours, baseline, note=""):
    """A measure shown to explain another; it has no target of its own."""
    return {"measure": name, "ours": round(ours, 4), "baseline": round(baseline, 4), "unit": "s",
            "ratio": round(ours / baseline, 3) if baseline > 0 else None, "target": "-", "pass": None,
            "note": note}


def limit_row(name, value, limit, baseline=None, note=""):
    """A measure judged against a limit; a baseline, if any, is for comparison only."""
    return {"measure": name, "ours": round(value, 3), "baseline": None if baseline is None else round(baseline, 3),
            "unit": "", "ratio": None, "target": "<= %g" % limit, "pass": value <= limit, "note": note}


def print_table(rows):
    header = ("Measure", "Ours", "Baseline", "Ratio", "Target", "Result")
    lines = [header]
    for r in rows:
        lines.append((r["measure"], "%.3f" % r["ours"],
                      "-" if r["baseline"] is None else "%.3f" % r["baseline"],
                      "-" if r["ratio"] is None else "%.2fx" % r["ratio"],
                      r["target"], "info" if r["pass"] is None else "pass" if r["pass"] else "FAIL"))
    widths = [max(len(line[i]) for line in lines) for i in range(len(header))]
    for n, line in enumerate(lines):
        print("  ".join(cell.ljust(widths[i]) if i == 0 else cell.rjust(widths[i]) for i, cell in enumerate(line)))
        if n == 0:
            print("  ".join("-" * w for w in widths))
    for r in rows:
        if r["note"]:
            print("%s: %s" % (r["measure"], r["note"]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-root", required=True)
    parser.add_argument("--smoke", action="store_true", help="a 5 MB payload, one run: checks the bench works")
    parser.add_argument("--runs", type=int, default=None)
    args = parser.parse_args()
    if args.runs is None:
        args.runs = 1 if args.smoke else 3
    rows = measure(args)
    print()
    print_table(rows)
    result_file = os.path.join(args.build_root, "bench", "smoke-results.json" if args.smoke else "results.json")
    with open(result_file, "w") as f:
        json.dump({"smoke": args.smoke, "runs": args.runs, "build": "x64 test build under Wine; size: i686 release",
                   "measures": rows}, f, indent=2)
    print("\nwritten: %s" % result_file)
    # The smoke run checks that every measure runs; only the full run judges.
    return 0 if args.smoke or all(r["pass"] is not False for r in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
