#!/usr/bin/env python3
"""Makes a week of a recorder's journal for `tarvin9-osc report`: a summary a
minute (10,080), a few hundred events (alarms, saves, link losses, a restart)
and the oscillograms its `saved` events name, each of 5000 samples. With
--walk-tests N, N walk tests of ten minutes spread over the week, each with
its detections (a pass missed in some, one in ten ended by its limit), and
summaries with their quiet figures, as the journals of today are written.

  bench/report_week.py OUT_FOLDER [--files 200] [--samples 5000] [--torn 3] [--walk-tests 0]
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


def summary(rng, alarm, quiet_share=None):
    """quiet_share: the share of the minute's samples that were quiet; None
    for a summary written before the quiet figures."""
    useful_max = (48 if alarm else 12) + rng.random() * 4
    threshold_min = 27.5 + rng.random()
    def span(lo, hi):
        return {"min": round(lo, 3), "max": round(hi, 3), "mean": round((lo + hi) / 2, 3)}
    s = {"seconds": 60.0, "samples": 4668, "lost": 0,
         "threshold": span(threshold_min, threshold_min + 0.4), "useful": span(5.0, useful_max),
         "ekNoise": span(2, 3), "ekClimate": span(0, 4667), "input": span(55, 68),
         "margin": {"min": round(threshold_min - useful_max, 3), "over_threshold": 120 if alarm else 0},
         "settings": {"direct_component": "30", "buffer_length": "56", "network_address": "1",
                      "save_level": 40.0}}
    if quiet_share is not None:
        samples = int(4668 * quiet_share)
        quiet_max = 12 + rng.random() * 4
        s["quiet"] = {"samples": samples,
                      "margin_min": round(threshold_min - quiet_max, 3) if samples else None,
                      "useful_max": round(quiet_max, 3) if samples else None,
                      "useful_sd": round(1.2 + rng.random(), 3) if samples else None}
    return s


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--files", type=int, default=200)
    ap.add_argument("--samples", type=int, default=5000)
    ap.add_argument("--torn", type=int, default=3)
    ap.add_argument("--walk-tests", type=int, default=0)
    a = ap.parse_args()
    rng = random.Random(7)
    os.makedirs(os.path.join(a.out, "Chart4pF"), exist_ok=True)
    tz = datetime.timezone(datetime.timedelta(hours=3))
    start = datetime.datetime(2026, 12, 1, 0, 0, 0, tzinfo=tz)
    minutes = 7 * 24 * 60
    # Ten minutes each, evenly over the week, away from the restart.
    test_minutes = {}
    for n in range(a.walk_tests):
        first = 60 + n * (minutes - 120) // max(a.walk_tests, 1)
        if abs(first - minutes // 2) < 15:
            first += 30
        for m in range(first, first + 10):
            test_minutes[m] = (n, m - first)
    alarm_minutes = set(sorted(rng.sample([m for m in range(30, minutes - 30)
                                           if all(m + d not in test_minutes for d in range(-1, 3))], a.files)))
    lines, seq = [], 0

    def event(t, name, **fields):
        nonlocal seq
        seq += 1
        lines.append(json.dumps({"time": iso(t), "seq": seq, "event": name, **fields},
                                ensure_ascii=False, separators=(",", ":")))

    tests = {"number": 0, "detections": 0}

    def walk_test(t, n, minute):
        """A minute of walk test n: its begin in the first, a pass a minute,
        its end in the last (a pass missed in every fifth test)."""
        if minute == 0:
            tests["number"] += 1
            tests["detections"] = 0
            event(t - datetime.timedelta(seconds=55), "walk_test_begin", walk_test=tests["number"],
                  note=f"участок {n + 1}, в полный рост", limit_min=10 if n % 10 == 9 else 30)
        if not (n % 5 == 4 and minute == 5):
            tests["detections"] += 1
            peak = 38 + rng.random() * 12
            threshold = 28 + rng.random()
            at = dict(walk_test=tests["number"], detection=tests["detections"])
            event(t - datetime.timedelta(seconds=30), "alarm_begin", alarm_bits=6, **at)
            event(t - datetime.timedelta(seconds=27), "alarm_end", alarm_bits=6, peak=round(peak, 1),
                  threshold=round(threshold, 1), margin=round(peak - threshold, 1),
                  over_threshold_s=round(1 + rng.random() * 2, 1), **at)
        if minute == 9:
            limit = n % 10 == 9
            event(t - datetime.timedelta(seconds=5), "walk_test_end", walk_test=tests["number"],
                  passes=None if limit else 10, detections=tests["detections"],
                  missed=None if limit else 10 - tests["detections"], reason="limit" if limit else "operator",
                  seconds=590.0)

    event(start, "start", port="COM1", version="1.0.0", options={"save_level": 40.0})
    event(start + datetime.timedelta(milliseconds=40), "link_up", firmware="2.0")
    for m in range(1, minutes + 1):
        t = start + datetime.timedelta(minutes=m)
        if m == minutes // 2:  # a restart in the middle of the week
            event(t, "stop", reason="signal", samples=1, counters={"checksum_errors": 2, "timeouts": 1})
            seq = 0
            tests["number"] = 0  # walk tests count from 1 within a run
            event(t + datetime.timedelta(seconds=1), "start", port="COM1", version="1.0.0")
            event(t + datetime.timedelta(seconds=1.04), "link_up", firmware="2.0")
        if m % 1440 == 700:
            event(t - datetime.timedelta(seconds=30), "link_lost")
            event(t - datetime.timedelta(seconds=20), "link_up", firmware="2.0")
        alarm = m in alarm_minutes
        quiet = None if not a.walk_tests else 0.98 if alarm else 1.0
        if m in test_minutes:
            quiet, alarm = 0.0, True
            walk_test(t, *test_minutes[m])
        elif m - 1 in test_minutes:
            quiet = 0.8  # the 10 s after the test
        if alarm and m not in test_minutes:
            name = "Chart4pF/" + t.strftime("%Y.%m.%d  %H час. %M мин. .bin")
            event(t - datetime.timedelta(seconds=40), "alarm_begin", alarm_bits=6)
            oscillogram(os.path.join(a.out, name), a.samples, rng)
            event(t - datetime.timedelta(seconds=39), "saved", path=name, trigger="alarm", samples=a.samples)
            event(t - datetime.timedelta(seconds=35), "alarm_end", alarm_bits=6)
        event(t, "summary", **summary(rng, alarm, quiet))
        if m in (1000, 5000, 9000)[: a.torn]:
            lines.append('{"time":"2026-12-0')  # cut by a power loss
    event(start + datetime.timedelta(minutes=minutes, seconds=1), "stop", reason="signal", samples=1,
          counters={"checksum_errors": 3, "timeouts": 0})
    with open(os.path.join(a.out, "journal.jsonl"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    print(f"{len(lines)} lines, {len(alarm_minutes)} oscillograms, {a.walk_tests} walk tests in {a.out}")


if __name__ == "__main__":
    main()
