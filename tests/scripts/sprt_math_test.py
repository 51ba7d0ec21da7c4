#!/usr/bin/env python3
"""scripts/sprt_math.py against figures that others published.

The LLRs are fishtest's for its logistic-Elo tests (bounds in braces, games in
pairs), as the Stockfish change that passed them quotes each test; one is
Wald's SPRT of a coin worked by hand. The Elo error bars are fastchess's and
OpenBench's for pentanomial counts, and cutechess's for trinomial counts.
"""
import math
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import sprt_math  # noqa: E402

# (pentanomial counts LL .. WW, elo0, elo1, published LLR, source)
LLR_CASES = [
    ([292, 5905, 28939, 6129, 299], -0.25, 1.25, 2.95,
     "fishtest 5fe50b9d3932f79192d3973c, Stockfish commit closing PR 3273 (STC)"),
    ([5, 418, 6043, 506, 12], 0.25, 1.25, 2.92,
     "fishtest 5fe552e43932f79192d39744, the same commit (LTC)"),
    ([424, 2948, 5832, 3045, 460], -1.0, 3.0, 2.94,
     "fishtest 5e1c9afed12216a2857e6401, Stockfish PR 2493 (STC)"),
    ([53, 2220, 21459, 2445, 47], 0.25, 1.25, 2.97,
     "fishtest 5f4dbc2eba100690c5cc5dac, Stockfish PR 3098 (LTC)"),
]

# (counts from the worst outcome up, published Elo and its 95 % half-width,
#  the tolerances of both, source)
ELO_CASES = [
    ([764, 1591, 3006, 1630, 708], -1.65, 4.22, 0.005, 0.005,
     "fastchess, Ptnml(0-2) of 15398 games"),
    ([16, 25, 42, 12, 3], -70.07, 35.86, 0.005, 0.005, "fastchess, Ptnml(0-2) of 196 games"),
    ([81, 2586, 5603, 2623, 78], 0.49, 2.37, 0.005, 0.005,
     "an OpenBench instance, PENTA of 21942 games"),
    # cutechess takes its 1.96 from an approximate inverse error function
    # (1.9572): the half-width it prints is 0.09 short of the exact one.
    ([17, 26, 63], 161.5, 62.3, 0.05, 0.1, "cutechess-cli, 63 - 17 - 26 (L, D, W here)"),
]


class SprtMathTest(unittest.TestCase):
    def test_llr_matches_fishtest(self):
        for counts, elo0, elo1, published, source in LLR_CASES:
            with self.subTest(source):
                self.assertAlmostEqual(sprt_math.llr(counts, elo0, elo1), published, delta=0.005)

    def test_llr_of_two_outcomes_is_walds(self):
        # 10 wins and 30 losses, H0 a score of 1/2 (Elo 0), H1 a score of 3/4
        # (Elo 400 log10 3): the maximum-likelihood laws are the hypotheses
        # themselves, so LLR = 10 ln(0.75 / 0.5) + 30 ln(0.25 / 0.5).
        by_hand = 10 * math.log(1.5) + 30 * math.log(0.5)
        self.assertAlmostEqual(by_hand, -16.7398, places=4)
        self.assertAlmostEqual(sprt_math.llr([30, 10], 0.0, 400 * math.log10(3)), by_hand,
                               places=6)

    def test_elo_and_error_bar_match_published(self):
        for counts, elo, margin, elo_tolerance, margin_tolerance, source in ELO_CASES:
            with self.subTest(source):
                found, found_margin = sprt_math.elo_interval(counts)
                self.assertAlmostEqual(found, elo, delta=elo_tolerance)
                self.assertAlmostEqual(found_margin, margin, delta=margin_tolerance)

    def test_bounds_and_verdicts(self):
        lower, upper = sprt_math.bounds(0.05, 0.05)
        self.assertAlmostEqual(upper, math.log(19), places=12)  # fishtest's (-2.94, 2.94)
        self.assertAlmostEqual(lower, -upper, places=12)
        lower, upper = sprt_math.bounds(0.05, 0.10)
        self.assertAlmostEqual((lower, upper), (math.log(0.10 / 0.95), math.log(0.90 / 0.05)))
        for ratio, verdict in ((3.0, "H1"), (-3.0, "H0"), (0.0, None), (2.9, None)):
            self.assertEqual(sprt_math.verdict(ratio, -2.944, 2.944), verdict)

    def test_pairs_count_by_points(self):
        self.assertEqual(sprt_math.pentanomial([0, 0.5, 1, 1, 1.5, 2, 2, 2]), [1, 1, 2, 1, 3])


if __name__ == "__main__":
    unittest.main()
