#!/usr/bin/env python3
"""Makes a week of a recorder's journal for `tarvin9-osc report`: a summary a
minute (10,080), a few hundred events (alarms, saves, link losses, a restart)
and the oscillograms its `saved` events name, each of 5000 samples.

  bench/report_week.py OUT_FOLDER [--files 200] [--samples 5000] [--torn 3]
"""
import argparse
import datetime
import json
import math
import os
import random
import struct


def iso(t):
    return t.isoformat(timespec="milliseconds")


def oscillogram(path, samples, rng):
    threshold = [28.0 + math.sin(i / 300) for i in range(samples)]
    useful = [10 + (35 if samples // 2 - 50 < i < samples // 2 + 200 else 0) + rng.randint(-3, 3) for i in range(samples)]
    noise = [rng.randint(2, 3) for _ in range(samples)]
    climate = list(range(samples))
    inp = [60 + rng.randint(-5, 5) for _ in range(samples)]
    with open(path, "wb") as f:
        f.write(struct.pack("<BH", 2, samples))
        f.write(struct.pack(f"<{samples}f", *threshold))
        for arr in (useful, noise, climate, inp):
            f.write(struct.pack(f"<{samples}I", *arr))


def summary(rng, alarm):
    useful_max = (48 if alarm else 12) + rng.random() * 4
    threshold_min = 27.5 + rng.random()
    def span(lo, hi):
        return {"min": round(lo, 3), "max": round(hi, 3), "mean": round((lo + hi) / 2, 3)}
    return {"seconds": 60.0, "samples": 4668, "lost": 0,
            "threshold": span(threshold_min, threshold_min + 0.4), "useful": span(5.0, useful_max),
            "ekNoise": span(2, 3), "ekClimate": span(0, 4667), "input": span(55, 68),
            "margin": {"min": round(threshold_min - useful_max, 3), "over_threshold": 120 if alarm else 0},
            "settings": {"direct_component": "30", "buffer_length": "56", "network_address": "1",
                         "save_level": 40.0}}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--files", type=int, default=200)
    ap.add_argument("--samples", type=int, default=5000)
    ap.add_argument("--torn", type=int, default=3)
    a = ap.parse_args()
    rng = random.Random(7)
    os.makedirs(os.path.join(a.out, "Chart4pF"), exist_ok=True)
    tz = datetime.timezone(datetime.timedelta(hours=3))
    start = datetime.datetime(2026, 12, 1, 0, 0, 0, tzinfo=tz)
    minutes = 7 * 24 * 60
    alarm_minutes = set(sorted(rng.sample(range(30, minutes - 30), a.files)))
    lines, seq = [], 0

    def event(t, name, **fields):
        nonlocal seq
        seq += 1
        lines.append(json.dumps({"time": iso(t), "seq": seq, "event": name, **fields},
                                ensure_ascii=False, separators=(",", ":")))

    event(start, "start", port="COM1", version="1.0.0", options={"save_level": 40.0})
    event(start + datetime.timedelta(milliseconds=40), "link_up", firmware="2.0")
    for m in range(1, minutes + 1):
        t = start + datetime.timedelta(minutes=m)
        if m == minutes // 2:  # a restart in the middle of the week
            event(t, "stop", reason="signal", samples=1, counters={"checksum_errors": 2, "timeouts": 1})
            seq = 0
            event(t + datetime.timedelta(seconds=1), "start", port="COM1", version="1.0.0")
            event(t + datetime.timedelta(seconds=1.04), "link_up", firmware="2.0")
        if m % 1440 == 700:
            event(t - datetime.timedelta(seconds=30), "link_lost")
            event(t - datetime.timedelta(seconds=20), "link_up", firmware="2.0")
        alarm = m in alarm_minutes
        if alarm:
            name = "Chart4pF/" + t.strftime("%Y.%m.%d  %H час. %M мин. .bin")
            event(t - datetime.timedelta(seconds=40), "alarm_begin", alarm_bits=6)
            oscillogram(os.path.join(a.out, name), a.samples, rng)
            event(t - datetime.timedelta(seconds=39), "saved", path=name, trigger="alarm", samples=a.samples)
            event(t - datetime.timedelta(seconds=35), "alarm_end", alarm_bits=6)
        event(t, "summary", **summary(rng, alarm))
        if m in (1000, 5000, 9000)[: a.torn]:
            lines.append('{"time":"2026-12-0')  # cut by a power loss
    event(start + datetime.timedelta(minutes=minutes, seconds=1), "stop", reason="signal", samples=1,
          counters={"checksum_errors": 3, "timeouts": 0})
    with open(os.path.join(a.out, "journal.jsonl"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    print(f"{len(lines)} lines, {len(alarm_minutes)} oscillograms in {a.out}")


if __name__ == "__main__":
    main()
