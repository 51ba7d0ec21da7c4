"""Clock use of both engines of an xboard match, read from xboard's debug log.

A move's time is what xboard saw: from the last line it sent the engine
before the move (the opponent's move, or "go") to the engine's move. The
clock at an engine's move N is the "time" xboard sent it before that move;
its clock at the end of a game is the last one xboard told either engine
("time" to it, "otim" to its opponent). The lowest clock is the least "time"
xboard sent the engine before one of its moves. A game starts at the first
"new", "setboard" or "variant" xboard sends after a move. Shared by
scripts/xboard-match, scripts/uci-match and scripts/sprt, which pass one
log or several (a log may be gzip-compressed, FILE.gz).
"""
import gzip
import re

LINE = re.compile(r"^(\d+) ([<>])(first|second)\s*: ?(.*)$")
MOVE = re.compile(r"^move \S+$")
CLOCK = re.compile(r"^(time|otim) (-?\d+)$")
ENGINES = ("first", "second")
OTHER = {"first": "second", "second": "first"}
# The moves at which the per-game table shows the clock.
CHECKPOINTS = (20, 40, 60)


class EngineGame:
    """One engine's clock in one game: seconds on its clock before each of its
    moves, milliseconds each move took, and the last clock xboard gave it."""

    def __init__(self):
        self.clocks, self.move_ms, self.end = [], [], None

    def clock_at(self, move):
        return self.clocks[move - 1] if len(self.clocks) >= move else None

    def lowest(self):
        return min((c for c in self.clocks if c is not None), default=None)

    def mean_ms(self, first_moves):
        early = self.move_ms[:first_moves]
        return sum(early) / len(early) if early else None


def open_log(path):
    return gzip.open(path, "rt", errors="replace") if path.endswith(".gz") else open(
        path, errors="replace")


def games_in(debug_paths):
    """Each game of the logs in order: {"first": EngineGame, "second": EngineGame}."""
    if isinstance(debug_paths, str):
        debug_paths = [debug_paths]
    games = []
    for path in debug_paths:
        game, moved = {e: EngineGame() for e in ENGINES}, False
        last_sent, pending = {}, {}
        with open_log(path) as f:
            for line in f:
                m = LINE.match(line.rstrip("\n"))
                if not m:
                    continue
                stamp, direction, engine, text = int(m[1]), m[2], m[3], m[4].strip()
                if direction == ">":
                    if text == "new" or text.startswith(("setboard", "variant")):
                        if moved:
                            games.append(game)
                            game, moved = {e: EngineGame() for e in ENGINES}, False
                        pending = {}
                    clock = CLOCK.match(text)
                    if clock:
                        seconds = int(clock[2]) / 100
                        whose = engine if clock[1] == "time" else OTHER[engine]
                        game[whose].end = seconds
                        if clock[1] == "time":
                            pending[engine] = seconds
                    last_sent[engine] = stamp
                elif MOVE.match(text) and engine in last_sent:
                    moved = True
                    game[engine].clocks.append(pending.pop(engine, None))
                    game[engine].move_ms.append(stamp - last_sent[engine])
        if moved:
            games.append(game)
    return games


def clock_use(debug_paths, first_moves=40):
    """{"first"|"second": (mean ms a move over each game's first moves, moves
    counted, lowest clock in seconds or None)}."""
    return use_of(games_in(debug_paths), first_moves)


def use_of(games, first_moves=40):
    use = {}
    for engine in ENGINES:
        times = [ms for g in games for ms in g[engine].move_ms[:first_moves]]
        lows = [g[engine].lowest() for g in games if g[engine].lowest() is not None]
        use[engine] = (sum(times) / len(times) if times else 0.0, len(times),
                       min(lows) if lows else None)
    return use


def describe(debug_paths, names, first_moves=40):
    """One line per engine; `names` maps "first"/"second" to a name."""
    return summary(games_in(debug_paths), names, first_moves)


def summary(games, names, first_moves=40):
    lines = []
    for engine, (mean, count, low) in use_of(games, first_moves).items():
        low_text = f"{low:.2f} s" if low is not None else "-"
        lines.append(f"{names[engine]}: {mean:.0f} ms a move over the first {first_moves} moves "
                     f"of each game ({count} moves), lowest clock {low_text}")
    return lines


def table(games, names, labels=None, first_moves=40):
    """The per-game table: for each game and engine the clock (seconds) at its
    moves 20, 40 and 60 and at the end, its mean time a move over its first
    moves and its lowest clock. `labels` names the games (1, 2, ... otherwise)."""
    labels = labels or [str(n) for n in range(1, len(games) + 1)]
    width = max([len(names[e]) for e in ENGINES] + [6])
    lines = [f"{'game':>6}  {'engine':<{width}} {'moves':>5} "
             + " ".join(f"{'@' + str(n):>7}" for n in CHECKPOINTS)
             + f" {'end':>7} {'ms/move':>8} {'lowest':>7}"]

    def cell(value, digits=2):
        return f"{value:7.{digits}f}" if value is not None else f"{'-':>7}"

    for label, game in zip(labels, games):
        for engine in ENGINES:
            record = game[engine]
            mean = record.mean_ms(first_moves)
            lines.append(f"{label:>6}  {names[engine]:<{width}} {len(record.clocks):5d} "
                         + " ".join(cell(record.clock_at(n)) for n in CHECKPOINTS)
                         + f" {cell(record.end)} {cell(mean, 0):>8} {cell(record.lowest())}")
    return lines


def report_per_game(games, names, path, print_up_to, labels=None):
    """Writes each engine's clock use and the per-game table of `games` (from
    games_in) to `path`; returns the table to print when it has at most
    `print_up_to` games, else a line saying where it is."""
    header = ("clock per game: seconds left at each engine's moves "
              f"{', '.join(map(str, CHECKPOINTS))} and at the end of the game, its mean ms "
              "a move over moves 1-40, its lowest clock")
    lines = [header] + table(games, names, labels)
    with open(path, "w") as f:
        f.write("\n".join(["clock use: " + line for line in summary(games, names)] + lines) + "\n")
    if len(games) <= print_up_to:
        return lines
    return [f"clock per game: {len(games)} games in {path}"]
