#!/usr/bin/env python3
"""Links a 32-bit MinGW program so that it carries unwind tables only for the code it keeps.

The PE linker script keeps every .eh_frame section (KEEP), and each table refers to its
function, so --gc-sections can never drop a function that has one: every library object that
one call pulls in stays whole (all of std::wstring, say, for one constructor). Here the link
runs with only the tables of functions found live by the link before, until nothing new turns
live; the result holds every function the program reaches, each with its table, and nothing
else. Used as the link's launcher: link_live_unwind.py COMPILER ARGS... -o OUTPUT ...

The last link is then checked: a live function whose table was dropped would end the program at
the first exception through it, with no message, so the build fails instead. The check also
fails when the map no longer shows tables named after their functions, the sign that the
compiler's or the linker's naming has changed under this script.
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


def read_map(map_path):
    """The map's list of discarded input sections and its layout, as two texts."""
    with open(map_path, encoding="utf-8", errors="replace") as map_file:
        text = map_file.read()
    discarded, layout = text.split("Linker script and memory map", 1)
    return discarded.split("Discarded input sections", 1)[-1], layout


def section_names(text, prefix):
    """The name after "$" of every input section of the kind prefix in a map's text."""
    return set(re.findall(r"^ " + re.escape(prefix) + r"[^\s$]*\$(\S+)", text, re.MULTILINE))


def live_functions(map_path):
    """The name after "$" of every code section the link kept (comdat functions)."""
    return section_names(read_map(map_path)[1], ".text")


def check_final_link(map_path):
    """Exits with a message unless every live function that has a table of its own kept it."""
    discarded, layout = read_map(map_path)
    live = section_names(layout, ".text")
    kept_tables = section_names(layout, ".eh_frame")
    dropped_tables = section_names(discarded, ".eh_frame")
    if not live or not kept_tables or not dropped_tables:
        sys.exit("link_live_unwind: the link map shows no code or unwind sections named after "
                 f"their functions ({len(live)} live, {len(kept_tables)} tables kept, "
                 f"{len(dropped_tables)} dropped); the naming this script relies on has changed")
    lost = sorted((live & dropped_tables) - kept_tables)
    if lost:
        sys.exit(f"link_live_unwind: {len(lost)} live functions lost their unwind tables, "
                 f"among them {', '.join(lost[:5])}")


def main():
    command = sys.argv[1:]
    output = command[command.index("-o") + 1]
    base = default_script(command[0])
    script_path, map_path = output + ".unwind.ld", output + ".unwind.map"
    try:
        kept = set()
        for _ in range(10):
            # One input-section list keeps the input order, so the terminating table stays last.
            patterns = " ".join([".eh_frame"] + [".eh_frame$" + name for name in sorted(kept)])
            with open(script_path, "w", encoding="utf-8") as script:
                script.write(base.replace(EH_FRAME_RULE, f"KEEP(*({patterns}))"))
            subprocess.run(command + [f"-Wl,-T,{script_path}", f"-Wl,-Map,{map_path}"],
                           check=True)
            live = live_functions(map_path)
            if live <= kept:
                break
            kept |= live
        else:
            sys.exit("link_live_unwind: the set of live functions did not settle")
        check_final_link(map_path)
    except BaseException:
        # A program that failed a link or its check must not look built.
        if os.path.exists(output):
            os.remove(output)
        raise
    finally:
        for path in (script_path, map_path):
            if os.path.exists(path):
                os.remove(path)


if __name__ == "__main__":
    main()
