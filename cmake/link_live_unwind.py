#!/usr/bin/env python3
"""Links a 32-bit MinGW program so that it carries unwind tables only for the code it keeps.

The PE linker script keeps every .eh_frame section (KEEP), and each table refers to its
function, so --gc-sections can never drop a function that has one: every library object that
one call pulls in stays whole (all of std::wstring, say, for one constructor). Here the link
runs with only the tables of functions found live by the link before, until nothing new turns
live; the result holds every function the program reaches, each with its table, and nothing
else. Used as the link rule's launcher: link_live_unwind.py COMPILER ARGS... -o OUTPUT ...
"""
import os
import re
import subprocess
import sys

EH_FRAME_RULE = "KEEP(*(.eh_frame*))"


def default_script(compiler):
    linker = subprocess.run([compiler, "-print-prog-name=ld"], check=True, capture_output=True,
                            text=True).stdout.strip()
    verbose = subprocess.run([linker, "--verbose"], check=True, capture_output=True,
                             text=True).stdout
    script = verbose.split("=" * 50)[1]
    if script.count(EH_FRAME_RULE) != 1:
        sys.exit(f"link_live_unwind: the linker script of {linker} has no single {EH_FRAME_RULE}")
    return script


def live_functions(map_path):
    """The name after "$" of every code section the link kept (comdat functions)."""
    with open(map_path, encoding="utf-8", errors="replace") as map_file:
        text = map_file.read()
    layout = text.split("Linker script and memory map", 1)[1]
    return set(re.findall(r"^ \.text[^\s$]*\$(\S+)", layout, re.MULTILINE))


def main():
    command = sys.argv[1:]
    output = command[command.index("-o") + 1]
    base = default_script(command[0])
    script_path, map_path = output + ".unwind.ld", output + ".unwind.map"
    kept = set()
    for _ in range(10):
        # One input-section list keeps the input order, so the terminating table stays last.
        patterns = " ".join([".eh_frame"] + [".eh_frame$" + name for name in sorted(kept)])
        with open(script_path, "w", encoding="utf-8") as script:
            script.write(base.replace(EH_FRAME_RULE, f"KEEP(*({patterns}))"))
        subprocess.run(command + [f"-Wl,-T,{script_path}", f"-Wl,-Map,{map_path}"], check=True)
        live = live_functions(map_path)
        if live <= kept:
            break
        kept |= live
    else:
        sys.exit("link_live_unwind: the set of live functions did not settle")
    os.remove(script_path)
    os.remove(map_path)


if __name__ == "__main__":
    main()
