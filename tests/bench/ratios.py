#!/usr/bin/env python3
"""Prints the portable benchmarks of one run as a Markdown table: each one's
time and its ratio to the baseline measured in the same run.

Usage: tests/bench/ratios.py RESULT.json...  (Google Benchmark's JSON output)
"""
import json
import re
import sys

# Each benchmark and the baseline it is compared with; "/N" arguments carry over.
BASELINES = [
    (r"BM_TypicalFile$", "BM_BaselineSplitTypicalFile"),
    (r"BM_Long(Kept|Ignored)Line(/\d+)$", r"BM_BaselineSplitLongLine\2"),
    (r"BM_Render100Shapes1920x1080$", "BM_BaselineFill1920x1080"),
    (r"BM_Render100ShapesPreview154x113$", "BM_BaselineFillPreview154x113"),
    (r"BM_Advance100Shapes$", "BM_BaselineFillPreview154x113"),
    (r"BM_DemoWholeFrame1920x1080$", "BM_BaselineFill1920x1080"),
    (r"BM_Play(100GradientShapes|RotatingBitmap)1920x1080$", "BM_BaselineFill1920x1080"),
    (r"BM_StillFrameChangedAreas1920x1080$", "BM_BaselineFill1920x1080"),
    (r"BM_DemoChangedAreas1920x1080$", "BM_DemoWholeFrame1920x1080"),
    (r"BM_(PlacementForFiveMonitors|MirrorTickDecisions)$", "BM_BaselineCopyToFourMonitors"),
    (r"BM_PreviewFrame(Replaying)?$", "BM_BaselinePreviewCopy"),
    (r"BM_MixFourEventsAndAStreamOneSecond$", "BM_BaselineCopyOneSecondOfSound"),
]

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def nanoseconds(entry):
    return entry["real_time"] * UNIT_NS[entry.get("time_unit", "ns")]


def shown(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def main(paths):
    times = {}
    order = []
    for path in paths:
        with open(path, encoding="utf-8") as file:
            for entry in json.load(file)["benchmarks"]:
                if entry.get("run_type", "iteration") != "iteration" or "error_occurred" in entry:
                    continue
                times[entry["name"]] = nanoseconds(entry)
                order.append(entry["name"])
    print("| Benchmark | Time | Baseline | Baseline time | Ratio |")
    print("|---|---|---|---|---|")
    for name in order:
        if name.startswith("BM_Baseline"):
            continue
        baseline = next((re.sub(pattern, target, name) for pattern, target in BASELINES
                         if re.search(pattern, name)), None)
        if baseline in times:
            ratio = times[name] / times[baseline]
            print(f"| {name} | {shown(times[name])} | {baseline} | {shown(times[baseline])} | {ratio:.3g} |")
        else:
            print(f"| {name} | {shown(times[name])} | | | |")


if __name__ == "__main__":
    main(sys.argv[1:])
