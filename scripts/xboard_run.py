"""What the scripts that play matches under xboard share: the tools' path,
running xboard until its games are over, and reading its PGN.

xboard in its no-GUI mode stays up after a match: run_xboard ends it once
the PGN holds every game's result (or at a deadline, or when asked to stop).
Used by scripts/xboard-match, scripts/uci-match and scripts/sprt.
"""
import os
import re
import signal
import subprocess
import time

# Debian puts its engines and xboard's helpers in /usr/games.
TOOLS_PATH = os.environ.get("PATH", "") + ":/usr/games"
# Words of a game's closing comment that say it did not end over the board.
ABNORMAL = re.compile(
    r"illegal|invalid|false|forfeit|on time|flag|exit|crash|disconnect|unexpected|stall|error|"
    r"no response|lost contact|abort",
    re.IGNORECASE,
)
POINTS = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}


def seconds(tc):
    """Seconds of a time control given as minutes or MIN:SEC."""
    minutes, _, secs = tc.partition(":")
    return int(minutes) * 60 + int(secs or 0)


def split_games(pgn_text):
    """The text of each game of the PGN."""
    return [chunk for chunk in re.split(r"(?<=\n)(?=\[Event )", pgn_text) if chunk.strip()]


def games_of(pgn_text):
    """(white, black, result, closing comment) of each game of the PGN."""
    games = []
    for chunk in split_games(pgn_text):
        tags = dict(re.findall(r'^\[(\w+) "(.*)"\]$', chunk, re.MULTILINE))
        if "Result" not in tags:
            continue
        body = re.sub(r"^\[.*$", "", chunk, flags=re.MULTILINE)
        closing = re.search(r"\{([^{}]*)\}\s*(1-0|0-1|1/2-1/2|\*)\s*$", body)
        # A move's comment holds its score and depth; it is no ending.
        ending = closing[1] if closing and not re.match(r"^[+-]?[\d.]+/", closing[1]) else ""
        games.append((tags.get("White", "?"), tags.get("Black", "?"), tags["Result"], ending))
    return games


def read_games(pgn):
    if not os.path.exists(pgn):
        return []
    with open(pgn, errors="replace") as f:
        return games_of(f.read())


def run_xboard(command, env, cwd, pgn, games, deadline, stop=None, poll=1.0, log=None, idle=None):
    """Runs xboard until `games` games of `pgn` have a result, the deadline
    (time.time()) passes, the event `stop` is set or, given `idle`, its log
    `log` has not grown for that many seconds (an engine that went away leaves
    xboard waiting). Returns (its first `games` games, why it was ended early:
    "deadline", "stalled", "stopped" or None). (Ended after a game lost on
    time, xboard saves that game once more, unfinished: a game past the count
    is that copy.)"""
    xboard = subprocess.Popen(command, env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
    why, size, grew = None, -1, time.time()
    try:
        while xboard.poll() is None:
            if time.time() >= deadline:
                why = "deadline"
                break
            if stop is not None and stop.is_set():
                why = "stopped"
                break
            time.sleep(poll)
            if sum(1 for game in read_games(pgn) if game[2] != "*") >= games:
                # xboard may still be writing the game that ended.
                time.sleep(min(poll, 0.5))
                break
            if idle is not None:
                now_size = os.path.getsize(log) if os.path.exists(log) else 0
                if now_size != size:
                    size, grew = now_size, time.time()
                elif time.time() - grew > idle:
                    why = "stalled"
                    break
    finally:
        if xboard.poll() is None:
            os.killpg(xboard.pid, signal.SIGTERM)
            try:
                xboard.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(xboard.pid, signal.SIGKILL)
                xboard.wait()
    return read_games(pgn)[:games], why
