#!/usr/bin/env python3
"""Prints the benchmark tables: each command's driver time beside its baseline
(the same system calls made directly), the ratio, and on Linux the heap allocations
per call; ends with the worst ratio.

Usage: report.py LINUX_JSON [WINE_RESULTS]"""
import json
import sys


def linux_rows(path):
    data = json.load(open(path))
    medians = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        parts = [p for p in b["run_name"].split("/") if ":" not in p]
        command = parts[0] + ("/" + parts[2] if len(parts) > 2 else "")
        scale = {"ns": 1, "us": 1e3, "ms": 1e6}[b["time_unit"]]
        medians[(command, parts[1])] = (b["real_time"] * scale, b.get("allocs/call", 0.0))
    order = ["Write", "SetPosition", "CustomChar", "SetBrightness", "CustomCharIndex", "InitDone"]
    commands = sorted({c for c, _ in medians},
                      key=lambda c: (order.index(c.split("/")[0]), int(c.split("/")[1]) if "/" in c else 0))
    return [(c, medians[(c, "driver")][0], medians[(c, "baseline")][0], medians[(c, "driver")][1])
            for c in commands]


def wine_rows(path):
    rows = []
    for line in open(path, errors="replace"):
        words = line.split()
        if len(words) == 4 and words[0] == "RESULT":
            rows.append((words[1], float(words[2]), float(words[3]), None))
    return rows


def show(ns):
    return f"{ns:9.0f} ns" if ns < 10_000 else f"{ns / 1000:9.1f} us"


def table(title, rows):
    print(title)
    print(f"  {'command':<18}{'driver':>13}{'baseline':>13}{'ratio':>8}{'allocs/call':>13}")
    for command, driver, baseline, allocs in rows:
        ratio = driver / baseline if baseline > 0 else float("inf")
        allocs_text = "" if allocs is None else f"{allocs:.2f}"
        print(f"  {command:<18}{show(driver):>13}{show(baseline):>13}{ratio:8.3f}{allocs_text:>13}")
    print()


def main():
    tables = [("Linux", "Linux: libzavvfd.so over a pseudo-terminal (medians of 10 repetitions)",
               linux_rows(sys.argv[1]))]
    if len(sys.argv) > 2:
        tables.append(("Wine", "Windows: 64-bit zavvfd.dll under wine64 through socat (medians of alternating batches)",
                       wine_rows(sys.argv[2])))
    worst = None
    for where, title, rows in tables:
        table(title, rows)
        for command, driver, baseline, _ in rows:
            ratio = driver / baseline
            if worst is None or ratio > worst[0]:
                worst = (ratio, f"{where} {command}")
    print(f"worst ratio {worst[0]:.3f} ({worst[1]})")


if __name__ == "__main__":
    main()
