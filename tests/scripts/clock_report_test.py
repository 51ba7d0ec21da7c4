#!/usr/bin/env python3
"""scripts/clock_report.py on a debug log written the way xboard writes it:
where a game starts, whose clock "time" and "otim" give, and the clock at a
given move and at the end of a game."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import clock_report  # noqa: E402

FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"


def debug_log(games):
    """xboard's lines for games given as (first's ms a move, second's ms a move,
    moves each): both clocks start at 10 s, first moves first, and before each
    move xboard tells the engine to move its clock and its opponent's."""
    lines, stamp = ["Two Machines"], 1000
    for first_ms, second_ms, moves in games:
        # xboard sends both "new" and "setboard" to each engine: one game.
        for engine in ("first ", "second"):
            lines += [f"{stamp} >{engine}: new", f"{stamp} >{engine}: setboard {FEN}"]
        clock = {"first": 1000, "second": 1000}
        for move in range(2 * moves):
            mover, other = ("first", "second") if move % 2 == 0 else ("second", "first")
            lines += [f"{stamp} >{mover:<6}: time {clock[mover]}",
                      f"{stamp} >{mover:<6}: otim {clock[other]}"]
            lines.append(f"{stamp} <{mover:<6}:  5 20 0 1234 e2e4")
            stamp += first_ms if mover == "first" else second_ms
            lines.append(f"{stamp} <{mover:<6}: move e2e4")
            clock[mover] -= (first_ms if mover == "first" else second_ms) // 10
        lines.append(f"{stamp} >first : result 1-0 {{Xboard adjudication: Checkmate}}")
    return "\n".join(lines) + "\n"


class ClockReportTest(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.path = os.path.join(folder.name, "xboard.debug")
        with open(self.path, "w") as f:
            f.write(debug_log([(100, 50, 45), (200, 20, 3)]))

    def test_games_clocks_at_moves_and_at_the_end(self):
        long_game, short_game = clock_report.games_in(self.path)  # exactly two games
        first, second = long_game["first"], long_game["second"]
        # Before its move N an engine has 10 s less (N - 1) moves' time.
        self.assertEqual((first.clock_at(20), first.clock_at(40), first.clock_at(46)),
                         (10 - 1.9, 10 - 3.9, None))
        self.assertEqual(second.clock_at(40), 10 - 39 * 0.05)
        self.assertEqual((first.mean_ms(40), second.mean_ms(40)), (100, 50))
        self.assertEqual(first.lowest(), 10 - 4.4)
        # first's clock after its last move came with "otim" before second's;
        # second moved last, so its end is the clock it moved on.
        self.assertAlmostEqual(first.end, 10 - 4.5)
        self.assertAlmostEqual(second.end, 10 - 44 * 0.05)
        self.assertEqual(len(short_game["first"].clocks), 3)
        self.assertAlmostEqual(short_game["first"].end, 10 - 0.6)

    def test_summary_and_table(self):
        use = clock_report.clock_use(self.path)
        # 40 moves of the long game and 3 of the short one.
        self.assertEqual(use["first"][1:], (43, 10 - 4.4))
        self.assertAlmostEqual(use["first"][0], (40 * 100 + 3 * 200) / 43)
        rows = clock_report.table(clock_report.games_in(self.path),
                                  {"first": "Vorn", "second": "other"})
        self.assertEqual(len(rows), 1 + 2 * 2)
        self.assertEqual(rows[1].split(), ["1", "Vorn", "45", "8.10", "6.10", "-", "5.50",
                                           "100", "5.60"])


if __name__ == "__main__":
    unittest.main()
