#!/usr/bin/env python3
"""Runs every compile command of a configured build tree with -fsyntax-only, JOBS at a time.

    tools/syntax_check.py BUILD_DIR [JOBS] [--target TARGET] [--sources DIR]

The compiler reads, checks and instantiates every source as the build would, but writes no object,
so a build tree of another compiler proves the sources compile there for a third of a build's time.
It checks what the tree builds by default (ninja's commands for `all`), or for TARGET, and only the
sources under DIR (relative to the source tree) when given; the precompiled headers and generated
files those read are built first. Exits non-zero, with the compiler's messages, when any source fails.
"""
import os
import re
import shlex
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor


def syntax_only(command):
    args = shlex.split(command)
    out = []
    skip = 0
    for arg in args:
        if skip:
            skip -= 1
            continue
        if arg in ("-o", "-MT", "-MF"):
            skip = 1
            continue
        if arg in ("-MD", "-MMD"):
            continue
        out.append(arg)
    return out + ["-fsyntax-only"]


def option(args, name):
    """Takes `name VALUE` out of args; None when absent."""
    if name not in args:
        return None
    at = args.index(name)
    value = args[at + 1] if at + 1 < len(args) else None
    del args[at:at + 2]
    return value


def object_of(command):
    args = shlex.split(command)
    return args[args.index("-o") + 1] if "-o" in args else None


def main():
    args = sys.argv[1:]
    target = option(args, "--target") or "all"
    sources = option(args, "--sources")
    if not args:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    build = os.path.abspath(args[0])
    jobs = int(args[1]) if len(args) > 1 else os.cpu_count() or 1
    # The compile commands of what the build tree builds, probes left out.
    listed = subprocess.run(["ninja", "-C", build, "-t", "commands", target], check=True,
                            capture_output=True, text=True).stdout.splitlines()
    commands = [c for c in listed if " -c " in c and "-emit-pch" not in c and "cmake_pch" not in c.split()[-1]]
    if sources:
        root = os.path.realpath(sources)
        commands = [c for c in commands
                    if os.path.realpath(os.path.join(build, c.split()[-1])).startswith(root + os.sep)]
    # Build the precompiled headers they read, and nothing else.
    pch = sorted({os.path.relpath(m, build) for c in commands
                  for m in re.findall(r"-include-pch\s+-Xclang\s+(\S+)", c)})
    if pch:
        subprocess.run(["ninja", "-C", build, "-j", str(jobs)] + pch, check=True)
    if sources:
        # The files generated before their objects compile (texts named, Qt's moc and uic), and not
        # the libraries they link.
        order = set()
        for obj in {object_of(c) for c in commands} - {None}:
            query = subprocess.run(["ninja", "-C", build, "-t", "query", obj], check=True,
                                   capture_output=True, text=True).stdout
            inputs = query.split("outputs:")[0].splitlines()
            order.update(line.strip()[3:] for line in inputs if line.strip().startswith("|| "))
        order = sorted(o for o in order if o)
        if order:
            subprocess.run(["ninja", "-C", build, "-j", str(jobs)] + order, check=True)

    def check(command):
        run = subprocess.run(syntax_only(command), cwd=build, capture_output=True)
        return command.split()[-1], run.returncode, (run.stdout + run.stderr).decode(errors="replace")

    failed = 0
    with ThreadPoolExecutor(max_workers=jobs) as pool:
        for path, code, text in pool.map(check, commands):
            if text:
                sys.stdout.write(text)
            if code != 0:
                failed += 1
                print(f"syntax check: {path} does not compile", flush=True)
    print(f"syntax check: {len(commands) - failed} of {len(commands)} sources compile in {build}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
