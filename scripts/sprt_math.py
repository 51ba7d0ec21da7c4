"""The arithmetic of scripts/sprt: Elo with its error bar and the
log-likelihood ratio of a sequential probability ratio test.

The model is the generalized SPRT (GSPRT) on logistic Elo over the
pentanomial distribution of game pairs, the one fishtest uses for its
logistic-Elo tests ("LLR_logistic"): each pair of games from one opening,
played once with each colour, scores 0, 1/2, 1, 3/2 or 2 points, seen here
as 0, 1/4, 1/2, 3/4 or 1. For hypotheses "the expected score is s0" and
"... is s1" (s = 1 / (1 + 10^(-elo / 400))), the LLR is the log of the
ratio of the likelihoods of the observed counts under the two
maximum-likelihood distributions whose expectations are s1 and s0 (M. Van
den Bergh, "Maximum likelihood estimation for multinomial distributions
with a given expectation value", Proposition 1.1; the notes come with
fishtest). The test stops at the first LLR outside (log(beta / (1 - alpha)),
log((1 - beta) / alpha)) (Wald's bounds).

The Elo estimate is the logistic Elo of the mean score, its error bar half
the width of the interval mapped from mean +- 1.96 standard errors of the
mean, as fishtest, OpenBench and cutechess print it. Outcomes that were
never seen count as 0.001 of an observation, as fishtest does, so that a
short run with a missing outcome gives finite figures.

The same functions take trinomial counts (losses, draws, wins) of single
games. No dependency on xboard: tests/scripts/sprt_math_test.py checks it
against published figures.
"""
import math

# A missing outcome counts this much: keeps logarithms and variances finite.
UNSEEN = 1e-3
# The two-sided 95 % quantile of the normal law.
Z95 = 1.959963984540054


def score_of_elo(elo):
    """The expected score of a logistic Elo difference."""
    return 1.0 / (1.0 + 10.0 ** (-elo / 400.0))


def elo_of_score(score):
    """The logistic Elo difference of an expected score, kept finite at 0 and 1."""
    score = min(max(score, UNSEEN), 1.0 - UNSEEN)
    return -400.0 * math.log10(1.0 / score - 1.0)


def distribution(counts):
    """(observations, [(score, frequency)]) of counts of evenly spaced outcomes
    from the worst (score 0) to the best (score 1)."""
    regular = [count if count > 0 else UNSEEN for count in counts]
    total = sum(regular)
    last = len(counts) - 1
    return total, [(i / last, count / total) for i, count in enumerate(regular)]


def mean_variance(pdf):
    mean = sum(p * a for a, p in pdf)
    return mean, sum(p * (a - mean) ** 2 for a, p in pdf)


def closest_with_mean(pdf, s):
    """The distribution on the same outcomes with expectation s that is most
    likely to have produced pdf: p_i / (1 + x (a_i - s)), where x is the root of
    sum p_i (a_i - s) / (1 + x (a_i - s)) = 0. That sum falls from +inf to -inf
    over the x that keep every weight positive, so bisection finds the root."""
    shifts = [(a - s, p) for a, p in pdf]
    low = -1.0 / max(b for b, _ in shifts)
    high = -1.0 / min(b for b, _ in shifts)
    for _ in range(200):
        x = (low + high) / 2
        if sum(p * b / (1 + x * b) for b, p in shifts) > 0:
            low = x
        else:
            high = x
    x = (low + high) / 2
    return [(a, p / (1 + x * (a - s))) for a, p in pdf]


def llr(counts, elo0, elo1):
    """The log-likelihood ratio of H1 (Elo elo1) against H0 (Elo elo0)."""
    total, pdf = distribution(counts)
    h0 = closest_with_mean(pdf, score_of_elo(elo0))
    h1 = closest_with_mean(pdf, score_of_elo(elo1))
    return total * sum(p * math.log(q1 / q0) for (_, p), (_, q0), (_, q1) in zip(pdf, h0, h1))


def elo_interval(counts):
    """(Elo, half-width of its 95 % interval) of the score per observation.
    With pentanomial counts the standard error is that of a pair's score."""
    total, pdf = distribution(counts)
    mean, variance = mean_variance(pdf)
    margin = Z95 * math.sqrt(variance / total)
    return elo_of_score(mean), (elo_of_score(mean + margin) - elo_of_score(mean - margin)) / 2


def bounds(alpha, beta):
    """Wald's (lower, upper) bounds of the LLR: below accepts H0, above accepts H1."""
    return math.log(beta / (1 - alpha)), math.log((1 - beta) / alpha)


def verdict(ratio, lower, upper):
    """"H1" or "H0" once the LLR has left the bounds, else None."""
    if ratio >= upper:
        return "H1"
    if ratio <= lower:
        return "H0"
    return None


def pentanomial(pair_points):
    """Counts of game pairs that scored 0, 1/2, 1, 3/2 and 2 points."""
    counts = [0] * 5
    for points in pair_points:
        assert points in (0, 0.5, 1, 1.5, 2), points
        counts[int(points * 2)] += 1
    return counts
