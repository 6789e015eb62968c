#!/usr/bin/env bash
# Whole-process speed of batch mode and --info against `assimp info`, measured
# side by side: every command runs once per round, round after round, so that
# a change in the machine's load falls on all of them alike. Each figure is
# the median CPU time (user + system) of the whole process over the rounds.
#
#   bench/batch_speed.sh [PROGRAM [BASELINE]]
#
# PROGRAM defaults to build/bin/orvanel. With BASELINE (another build's
# orvanel, e.g. one built from main), both are measured in the same rounds
# and the table shows them side by side. ROUNDS (default 21) sets the rounds.
# The largest heightmesh is a 256 x 128 heightmap's at --grid-fuzz 1 (32,768
# vertices, 64,770 faces); the small one a 16 x 16 heightmap's.
# Needs ImageMagick (convert), assimp-utils (assimp) and python3.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/bin/orvanel}")
baseline=""
[ -n "${2:-}" ] && baseline=$(realpath "$2")
rounds=${ROUNDS:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

convert -size 256x128 xc: -fx '(i*7+j*3)%256/255' -type TrueColor -depth 8 BMP3:large.bmp
convert -size 16x16 xc: -fx '(i*7+j*3)%256/255' -type TrueColor -depth 8 BMP3:small.bmp
"$program" --generate large.bmp --output large.3ds --grid-fuzz 1 2>/dev/null
"$program" --generate small.bmp --output small.3ds 2>/dev/null

echo "load: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 minutes) on $(nproc) cores"
python3 - "$rounds" "$program" "$baseline" <<'PYTHON'
import os, statistics, subprocess, sys

rounds = int(sys.argv[1])
programs = [sys.argv[2]] + ([sys.argv[3]] if sys.argv[3] else [])

def orvanel_commands(program):
    return {
        "info large": [program, "--info", "large.3ds"],
        "info small": [program, "--info", "small.3ds"],
        "version": [program, "--version"],
        "generate": [program, "--generate", "large.bmp", "--output", "out.3ds", "--grid-fuzz", "1"],
        "preview": [program, "--generate", "large.bmp", "--output", "out.3ds", "--grid-fuzz", "1",
                    "--preview", "out.png", "--preview-size", "800x600"],
    }

commands = {("assimp", "info large"): ["assimp", "info", "large.3ds"],
            ("assimp", "info small"): ["assimp", "info", "small.3ds"]}
for program in programs:
    for name, argv in orvanel_commands(program).items():
        commands[(program, name)] = argv

def cpu_milliseconds(argv):
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit(" ".join(argv) + ": exit status %d" % child.returncode)
    return (usage.ru_utime + usage.ru_stime) * 1000.0

for argv in commands.values():  # one run to warm the caches, not counted
    cpu_milliseconds(argv)
times = {key: [] for key in commands}
for _ in range(rounds):
    for key, argv in commands.items():
        times[key].append(cpu_milliseconds(argv))
median = {key: statistics.median(values) for key, values in times.items()}

print("CPU medians of %d rounds, ms: assimp info largest %.1f, small %.1f" %
      (rounds, median[("assimp", "info large")], median[("assimp", "info small")]))
columns = list(reversed(programs))  # the baseline first, as "today"
labels = ["today", "after"] if len(columns) == 2 else ["measured"]
rows = [
    ("--info on the largest heightmesh, of assimp info", "<= 0.05", "info large", True),
    ("--info on a small file (16 x 16), of assimp info", "<= 0.5", "info small", True),
    ("--version, ms CPU", "<= 3", "version", False),
    ("--generate of the largest mesh, no preview, ms CPU", "<= 15", "generate", False),
    ("--generate of the largest mesh, 800 x 600 --preview, ms CPU", "<= 150", "preview", False),
]
print("%-62s %8s" % ("Measure", "Goal") + "".join("%10s" % label for label in labels))
for title, goal, name, ratio in rows:
    cells = []
    for program in columns:
        value = median[(program, name)]
        if ratio:
            value /= median[("assimp", name)]
        cells.append("%10.3f" % value if ratio else "%10.1f" % value)
    print("%-62s %8s" % (title, goal) + "".join(cells))
for label, program in zip(labels, columns):
    print("%s: %s" % (label, program))
PYTHON
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
