#!/usr/bin/python3
"""Ratios and plot from one run of orvix_bench.

    orvix_bench --benchmark_repetitions=5 --benchmark_out=run.json
    bench/plot.py run.json docs/performance.png   (Debian python3-matplotlib)

Each library benchmark is divided by the median of its standard-library
counterpart from the same run (same case, same argument); a ratio of 2 means
twice the time. Prints the table as Markdown and writes the plot.
"""
import json
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

COUNTERPARTS = {"std::string", "string_view", "fgets", "std::unordered_map", "std::hash", "floor"}

# Largest acceptable time ratio, by case.
TARGETS = {
    "string_bytes": 1.5,
    "read_lines": 2.0,  # at least half the throughput
    "hash_hit": 1.3,
    "hash_miss": 1.3,
    "linear_hit": 1.0,
    "linear_miss": 1.0,
    "process": 1.5,
}


def medians(path):
    with open(path) as f:
        run = json.load(f)
    out = {}
    for b in run["benchmarks"]:
        if b.get("run_type") != "aggregate" or b.get("aggregate_name") != "median":
            continue
        parts = [p for p in b["run_name"].split("/") if p != "real_time"]
        case, impl, arg = parts[0], parts[1], "/".join(parts[2:])
        # Processes run in wall-clock time; the rest is measured in CPU time,
        # which a shared machine disturbs less.
        t = b["real_time"] if case == "process" else b["cpu_time"]
        out[(case, impl, arg)] = (t, b["time_unit"])
    return run["context"], out


def ratios(meds):
    rows = []
    for (case, impl, arg), (t, unit) in meds.items():
        if impl in COUNTERPARTS:
            continue
        base = [(i, v) for (c, i, a), v in meds.items() if c == case and a == arg and i in COUNTERPARTS]
        if not base:
            continue
        base_impl, (bt, bunit) = base[0]
        assert unit == bunit
        rows.append((case, impl, arg, t, base_impl, bt, unit, t / bt))
    order = ["string_bytes", "tokenize", "read_lines", "hash_insert", "hash_hit", "hash_miss",
             "linear_insert", "linear_hit", "linear_miss", "key_hash", "process"]
    rows.sort(key=lambda r: (order.index(r[0]) if r[0] in order else 99, r[1], int(r[2] or 0)))
    return rows


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    context, meds = medians(sys.argv[1])
    rows = ratios(meds)

    print("| Case | Library | Counterpart | Library time | Counterpart time | Ratio | Target |")
    print("|---|---|---|---|---|---|---|")
    for case, impl, arg, t, base_impl, bt, unit, r in rows:
        name = case + ("/" + arg if arg else "")
        target = TARGETS.get(case)
        mark = "" if target is None else ("<= %.1f %s" % (target, "met" if r <= target else "MISSED"))
        print("| %s | %s | %s | %.4g %s | %.4g %s | %.2f | %s |" % (name, impl, base_impl, t, unit, bt, unit, r, mark))
    print()
    print("Host: %s, %d CPUs, load average at start %s" % (
        context.get("host_name"), context.get("num_cpus"),
        ", ".join("%.2f" % x for x in context.get("load_avg", []))))

    labels = ["%s %s%s" % (c, i, "/" + a if a else "") for c, i, a, *_ in rows]
    values = [r[-1] for r in rows]
    colors = []
    for c, *_, r in rows:
        target = TARGETS.get(c)
        colors.append("tab:gray" if target is None else ("tab:green" if r <= target else "tab:red"))
    fig, ax = plt.subplots(figsize=(9, 0.32 * len(rows) + 1.5))
    y = range(len(rows))
    ax.barh(list(y), values, color=colors)
    for yi, (c, *_, r) in zip(y, rows):
        target = TARGETS.get(c)
        if target is not None:
            ax.plot([target, target], [yi - 0.4, yi + 0.4], color="black", linewidth=2)
        ax.text(max(r, target or 0) * 1.05, yi, "%.2f" % r, va="center", fontsize=8)
    ax.set_yticks(list(y))
    ax.set_yticklabels(labels, fontsize=8)
    ax.invert_yaxis()
    ax.set_xscale("log")
    ticks = [0.5, 1, 1.3, 1.5, 2, 3, 5, 10]
    ax.set_xticks(ticks)
    ax.set_xticklabels([str(t) for t in ticks])
    ax.minorticks_off()
    ax.axvline(1.0, color="gray", linestyle=":")
    ax.set_xlabel("time relative to the standard-library counterpart (median of repetitions, log scale)")
    ax.set_title("libcontainer and orvix against their counterparts\n"
                 "green: target met, red: missed, gray: no target; black tick: target")
    fig.tight_layout()
    fig.savefig(sys.argv[2], dpi=110)


if __name__ == "__main__":
    main()
