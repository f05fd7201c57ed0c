#!/usr/bin/env python3
"""Damages the files of machine images one at a time and runs the tools on them.

Where the libFuzzer targets feed one reader at a time, this sweep runs whole
programs (quaver-machine's commands and an unattended quaver-setup) on an
image of which one file was truncated, had bytes flipped, inserted or cut,
lines dropped, doubled, swapped or repeated, or was replaced by a folder, a
FIFO, a dangling link or a link to a file outside the image. Use a build
with -DQUAVER_SANITIZE=ON so that memory faults and leaks are reported.

Every run must end in one of: done (exit 0), or a failure that says
something. A finding is a crash (a signal or a sanitizer report), a hang
(over --timeout seconds), a failure that prints nothing, a listing command
that succeeds without printing anything, or a file outside the image that
changed. Findings go to DIR/findings.json, the distinct error texts of each
file and command to DIR/messages.txt for a person to read; the exit status is
1 when there is any finding.

  python3 fuzz/damage-sweep.py --build build-asan [--rounds 3] [--seed 1]
"""
import argparse
import concurrent.futures
import json
import os
import random
import shutil
import subprocess
import sys

# Commands run on every damaged image, after --machine DIR. IDX becomes the
# case's number.
COMMON = [
    ["reg", "query", "HKLM\\SOFTWARE", "/s"],
    ["reg", "add", "HKLM\\SOFTWARE\\X", "/v", "a", "/d", "b", "/f"],
    ["reg", "delete", "HKLM\\SOFTWARE\\T", "/f"],
    ["reg", "query", "HKCU\\Software", "/s"],
    ["reg", "export", "HKLM\\SOFTWARE", "WORK/export-IDX.reg", "/y"],
    ["icacls", "C:\\inetpub"],
    ["icacls", "HKLM\\SOFTWARE\\Microsoft"],
    ["sc", "query"],
    ["sc", "qc", "W3SVC"],
    ["sc", "start", "W3SVC"],
    ["sc", "stop", "W3SVC"],
    ["dir", "C:\\inetpub"],
    ["mkdir", "C:\\newdir\\sub"],
    ["type", "C:\\inetpub\\wwwroot\\iisstart.htm"],
]
COMMANDS = {
    "10": COMMON + [["appcmd", "list", "site"], ["appcmd", "list", "config"],
                    ["appcmd", "list", "apppool"], ["appcmd", "list", "module"]],
    "6": COMMON + [["metabase"], ["metabase", "/LM/W3SVC/1"]],
}
SETUP_MODE = {"10": "pipeline", "6": "isapi"}
# Commands that print something whenever they succeed (a damaged but valid
# file may leave no running service for `sc query` or no site to list).
MUST_PRINT = [["reg", "query"], ["icacls"], ["sc", "qc"], ["dir"], ["type"], ["metabase"],
              ["appcmd", "list", "config"]]
SPECIAL = ["folder", "fifo", "dangling", "outside"]


def run(args, env, timeout):
    try:
        p = subprocess.run(args, capture_output=True, timeout=timeout, env=env)
    except subprocess.TimeoutExpired:
        return "hang", "", ""
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def make_base(tools, work, kind):
    """A fresh image with journals left behind, so that they are damaged too."""
    root = os.path.join(work, "base" + kind)
    shutil.rmtree(root, ignore_errors=True)
    args = [tools["machine"], "create", root, "--iis", kind]
    if kind == "10":
        args += ["--php", "C:\\PHP"]
    subprocess.run(args, check=True, capture_output=True)
    for command in (["reg", "add", "HKLM\\SOFTWARE\\T", "/v", "a", "/d", "b", "/f"],
                    ["sc", "stop", "W3SVC"]):
        subprocess.run([tools["machine"], "--machine", root] + command, check=True,
                       capture_output=True)
    return root


def image_files(root):
    """The image's own files and the configuration files on its drive."""
    found = []
    for folder, _, names in os.walk(root):
        for name in names:
            relative = os.path.relpath(os.path.join(folder, name), root)
            if name == ".machine.lock":
                continue
            if relative.startswith("drive_c") and not name.endswith((".config", ".xml", ".ini")):
                continue
            found.append(relative)
    return sorted(found)


def mutations(data, rng):
    """Damaged versions of `data`: (name, bytes)."""
    out = [("empty", b"")]
    n = len(data)
    if n:
        def at():
            return rng.randrange(n)
        k = at(); out.append(("truncate", data[:k]))
        k = at(); out.append(("flip", data[:k] + bytes([data[k] ^ (1 << rng.randrange(8))]) + data[k + 1:]))
        k = at(); out.append(("byte", data[:k] + bytes([rng.randrange(256)]) + data[k + 1:]))
        k = at(); out.append(("nul", data[:k] + b"\0" + data[k + 1:]))
        k = at(); out.append(("bad-utf8", data[:k] + rng.choice([b"\xff", b"\xc3", b"\xed\xa0\x80", b"\xe2\x82"]) + data[k:]))
        k = at(); out.append(("insert", data[:k] + bytes(rng.randrange(256) for _ in range(rng.randrange(1, 16))) + data[k:]))
        k = at(); out.append(("cut", data[:k] + data[k + rng.randrange(1, 64):]))
    lines = data.split(b"\n")
    if len(lines) > 1:
        def line():
            return rng.randrange(len(lines))
        i = line(); out.append(("drop-line", b"\n".join(lines[:i] + lines[i + 1:])))
        i = line(); out.append(("double-line", b"\n".join(lines[:i + 1] + lines[i:])))
        i, j = line(), line()
        swapped = list(lines)
        swapped[i], swapped[j] = swapped[j], swapped[i]
        out.append(("swap-lines", b"\n".join(swapped)))
        i = line(); out.append(("long-line", b"\n".join(lines[:i] + [lines[i] * 200] + lines[i + 1:])))
    return out


def classify(command, status, out, err):
    if status == "hang":
        return "hang"
    if "Sanitizer" in err or "runtime error" in err or status < 0 or status >= 128:
        return "crash"
    if status == 0:
        prints = any(command[:len(words)] == words for words in MUST_PRINT)
        return "silent" if prints and not out.strip() else "ok"
    return "fail" if (out.strip() or err.strip()) else "mute"


def run_case(case):
    tools, work, timeout, kind, base, relative, damage, data, number = case
    root = os.path.join(work, f"case-{number}")
    shutil.rmtree(root, ignore_errors=True)
    shutil.copytree(base, root, symlinks=True)
    target = os.path.join(root, relative)
    os.unlink(target)
    outside = None
    if damage == "folder":
        os.mkdir(target)
    elif damage == "fifo":
        os.mkfifo(target)
    elif damage == "dangling":
        os.symlink(os.path.join(work, "nowhere", "x"), target)
    elif damage == "outside":
        outside = os.path.join(work, f"outside-{number}")
        shutil.copy(os.path.join(base, relative), outside)
        os.symlink(outside, target)
    else:
        with open(target, "wb") as f:
            f.write(data)
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1",
               UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
    results = []
    for command in COMMANDS[kind]:
        command = [a.replace("WORK", work).replace("IDX", str(number)) for a in command]
        status, out, err = run([tools["machine"], "--machine", root] + command, env, timeout)
        results.append((command, status, out, err))
    setup = ["quaver-setup", "--unattended", "--machine", root, "--media", tools["media"],
             "--dir", "C:\\Program Files", "--mode", SETUP_MODE[kind], "--sites", "all"]
    status, out, err = run([tools["setup"]] + setup[1:], env, timeout * 6)
    results.append((setup[:1] + [SETUP_MODE[kind]], status, out, err))
    escaped = False
    if outside:
        with open(outside, "rb") as f, open(os.path.join(base, relative), "rb") as g:
            escaped = f.read() != g.read()
        os.unlink(outside)
    shutil.rmtree(root, ignore_errors=True)
    return kind, relative, damage, results, escaped


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, help="a build folder (sanitizers on)")
    parser.add_argument("--media", help="folder with the package and license.txt "
                        "(default: BUILD/demo)")
    parser.add_argument("--work", default="build-damage", help="folder for images and results")
    parser.add_argument("--rounds", type=int, default=3, help="damaged versions per file and kind")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--timeout", type=int, default=10, help="seconds a command may take")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    options = parser.parse_args()
    tools = {"machine": os.path.join(options.build, "tools/quaver-machine/quaver-machine"),
             "setup": os.path.join(options.build, "tools/quaver-setup/quaver-setup"),
             "media": options.media or os.path.join(options.build, "demo")}
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "nowhere"))
    rng = random.Random(options.seed)
    cases = []
    for kind in ("10", "6"):
        base = make_base(tools, work, kind)
        for relative in image_files(base):
            with open(os.path.join(base, relative), "rb") as f:
                data = f.read()
            damages = [m for _ in range(options.rounds) for m in mutations(data, rng)]
            damages += [(name, None) for name in SPECIAL]
            for damage, bytes_ in damages:
                cases.append((tools, work, options.timeout, kind, base, relative, damage, bytes_,
                              len(cases)))
    print(f"{len(cases)} damaged images", file=sys.stderr)
    findings, counts, messages = [], {}, {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=options.jobs) as pool:
        for kind, relative, damage, results, escaped in pool.map(run_case, cases):
            if escaped:
                findings.append({"iis": kind, "file": relative, "damage": damage,
                                 "finding": "a file outside the image changed"})
            for command, status, out, err in results:
                verdict = classify(command, status, out, err)
                counts[verdict] = counts.get(verdict, 0) + 1
                if verdict in ("hang", "crash", "silent", "mute"):
                    findings.append({"iis": kind, "file": relative, "damage": damage,
                                     "command": command, "finding": verdict, "status": status,
                                     "stderr": err[-2000:], "stdout": out[:500]})
                elif verdict == "fail":
                    text = (err.strip() or out.strip()).splitlines()[-1][:200]
                    texts = messages.setdefault((relative, " ".join(command[:2])), {})
                    texts[text] = texts.get(text, 0) + 1
    with open(os.path.join(work, "findings.json"), "w") as f:
        json.dump(findings, f, indent=1)
    with open(os.path.join(work, "messages.txt"), "w") as f:
        for (relative, command), texts in sorted(messages.items()):
            f.write(f"== {relative} :: {command}\n")
            for text, count in sorted(texts.items(), key=lambda item: -item[1]):
                f.write(f"  {count:5d}  {text}\n")
    print(json.dumps(counts, sort_keys=True))
    print(f"{len(findings)} findings in {work}/findings.json; error texts in {work}/messages.txt")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
