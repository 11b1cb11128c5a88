#!/usr/bin/env python3
"""Whether Linux programs run on any x86-64 Linux that VS Code supports:
static executables, or dynamic ones that need nothing newer than glibc 2.28
and no C++ run time or libgcc of the system. Reads each program's dynamic
symbol versions and needed libraries with objdump.

Usage: portable_check.py PROGRAM...      exits 1 when one is not portable
       portable_check.py --self-test BUILD_BIN
         the portable programs of BUILD_BIN/portable pass, and the
         ordinary build's veltrane-lsp, linked against this system, fails"""

import re
import subprocess
import sys

GLIBC_FLOOR = (2, 28)
# Libraries a program may need: they are part of every glibc.
SYSTEM_LIBRARIES = {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "librt.so.1",
                    "ld-linux-x86-64.so.2"}


def problems(path):
    """What keeps `path` from running on an older system: [] when nothing."""
    headers = subprocess.run(["objdump", "-p", path], capture_output=True, text=True)
    if headers.returncode != 0:
        return [f"objdump cannot read it: {headers.stderr.strip()}"]
    needed = re.findall(r"^\s*NEEDED\s+(\S+)", headers.stdout, re.M)
    if "INTERP" not in headers.stdout and not needed:
        return []  # a static executable
    found = [f"needs {lib}" for lib in needed if lib not in SYSTEM_LIBRARIES]
    symbols = subprocess.run(["objdump", "-T", path], capture_output=True, text=True).stdout
    for name, version in sorted(set(re.findall(r"\b(GLIBC|GLIBCXX|CXXABI|GCC)_([0-9.]+)\b", symbols))):
        if name != "GLIBC":
            found.append(f"needs {name}_{version}")
        elif tuple(int(part) for part in version.split(".")) > GLIBC_FLOOR:
            found.append(f"needs GLIBC_{version}")
    return found


def self_test(bin_dir):
    failures = 0
    for program in ("veltrane-check", "veltrane-lsp"):
        found = problems(f"{bin_dir}/portable/{program}")
        print(f"portable/{program}:", "; ".join(found) or "portable")
        failures += bool(found)
        version = subprocess.run([f"{bin_dir}/portable/{program}", "--version"],
                                 capture_output=True, text=True).stdout.strip()
        if version != f"{program} 1.0.0":
            print(f"FAILED: portable/{program} --version says {version!r}")
            failures += 1
    # The check must see what an ordinary build needs, or it proves nothing.
    found = problems(f"{bin_dir}/veltrane-lsp")
    print("veltrane-lsp:", "; ".join(found))
    if not any(p.startswith("needs GLIBC_2.3") for p in found) or "needs libstdc++.so.6" not in found:
        print("FAILED: the ordinary veltrane-lsp should need a newer glibc and libstdc++")
        failures += 1
    return 1 if failures else 0


def main(args):
    if args[:1] == ["--self-test"]:
        return self_test(args[1])
    failures = 0
    for path in args:
        found = problems(path)
        print(f"{path}:", "; ".join(found) or "portable")
        failures += bool(found)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
