"""Clock use of both engines of an xboard match, read from xboard's debug log.

A move's time is what xboard saw: from the last line it sent the engine
before the move (the opponent's move, or "go") to the engine's move. The
lowest clock is the least "time" xboard sent the engine before one of its
moves. Shared by scripts/xboard-match and scripts/uci-match.
"""
import re

LINE = re.compile(r"^(\d+) ([<>])(first|second)\s*: ?(.*)$")
MOVE = re.compile(r"^move \S+$")
CLOCK = re.compile(r"^time (-?\d+)$")


def clock_use(debug_path, first_moves=40):
    """{"first"|"second": (mean ms a move over each game's first moves, moves
    counted, lowest clock in seconds or None)}."""
    times = {"first": [], "second": []}
    lowest = {"first": None, "second": None}
    last_sent, moves = {}, {"first": 0, "second": 0}
    with open(debug_path, errors="replace") as f:
        for line in f:
            m = LINE.match(line.rstrip("\n"))
            if not m:
                continue
            stamp, direction, engine, text = int(m[1]), m[2], m[3], m[4].strip()
            if direction == ">":
                if text == "new" or text.startswith("setboard"):
                    moves[engine] = 0
                clock = CLOCK.match(text)
                if clock:
                    seconds = int(clock[1]) / 100
                    if lowest[engine] is None or seconds < lowest[engine]:
                        lowest[engine] = seconds
                last_sent[engine] = stamp
            elif MOVE.match(text) and engine in last_sent:
                moves[engine] += 1
                if moves[engine] <= first_moves:
                    times[engine].append(stamp - last_sent[engine])
    return {engine: (sum(t) / len(t) if t else 0.0, len(t), lowest[engine])
            for engine, t in times.items()}


def describe(debug_path, names, first_moves=40):
    """One line per engine; `names` maps "first"/"second" to a name."""
    lines = []
    for engine, (mean, count, low) in clock_use(debug_path, first_moves).items():
        low_text = f"{low:.2f} s" if low is not None else "-"
        lines.append(f"{names[engine]}: {mean:.0f} ms a move over the first {first_moves} moves "
                     f"of each game ({count} moves), lowest clock {low_text}")
    return lines
