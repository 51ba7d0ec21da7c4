// Checks Vorn's Chess960 move generation against chessops, which knows the
// variant. Random start positions of the 960, random games from them, and
// every few plies Vorn's perft by root move ("-perft -fd D -lpf FILE") set
// against chessops's, move by move. The position files alternate between
// X-FEN and Shredder-FEN castling fields. Vorn generates only queen
// promotions, so chessops counts those alone.
//
// Usage: node check.mjs VORN [--games N] [--plies P] [--every K] [--depth D] [--seed S]
//        node check.mjs --count FEN DEPTH   (chessops's counts of one position:
//                                            queen promotions only, and all of them)
import { spawnSync } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { Chess } from "chessops/chess";
import { makeFen, parseFen } from "chessops/fen";
import { makeSquare, squareFile, squareRank } from "chessops/util";

const args = process.argv.slice(2);

function positionOf(fen) {
  return Chess.fromSetup(parseFen(fen).unwrap()).unwrap();
}

// The legal moves, promotions to the queen only unless `everyPromotion`.
function legalMoves(pos, everyPromotion = false) {
  const moves = [];
  for (const [from, dests] of pos.allDests()) {
    const pawn = pos.board.get(from).role === "pawn";
    for (const to of dests) {
      const promotes = pawn && (squareRank(to) === 0 || squareRank(to) === 7);
      const roles = !promotes ? [undefined] : everyPromotion ? ["queen", "rook", "bishop", "knight"] : ["queen"];
      for (const promotion of roles) moves.push({ from, to, promotion });
    }
  }
  return moves;
}

function perft(pos, depth, everyPromotion) {
  if (depth === 0) return 1;
  const moves = legalMoves(pos, everyPromotion);
  if (depth === 1) return moves.length;
  let count = 0;
  for (const move of moves) {
    const child = pos.clone();
    child.play(move);
    count += perft(child, depth - 1, everyPromotion);
  }
  return count;
}

if (args[0] === "--count") {
  const pos = positionOf(args[1]);
  const depth = Number(args[2]);
  console.log(`queen promotions ${perft(pos, depth, false)}, every promotion ${perft(pos, depth, true)}`);
  process.exit(0);
}

const vorn = args[0];
const option = (name, fallback) => {
  const at = args.indexOf(name);
  return at > 0 ? Number(args[at + 1]) : fallback;
};
const games = option("--games", 20);
const plies = option("--plies", 60);
const every = option("--every", 6);
const depth = option("--depth", 3);
let seed = option("--seed", 960) >>> 0;

// mulberry32: a small seeded generator, so that a failure can be replayed.
function random() {
  seed = (seed + 0x6d2b79f5) >>> 0;
  let t = seed;
  t = Math.imul(t ^ (t >>> 15), t | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}

// Start position number n (0..959) by the usual numbering, in which 518 is
// the standard one: the light bishop, the dark bishop, the queen, the
// knights on the empty squares, then rook, king, rook.
function backRank(n) {
  const rank = Array(8).fill(null);
  rank[2 * (n % 4) + 1] = "b";
  n = Math.floor(n / 4);
  rank[2 * (n % 4)] = "b";
  n = Math.floor(n / 4);
  const empty = () => rank.flatMap((piece, file) => (piece ? [] : [file]));
  rank[empty()[n % 6]] = "q";
  n = Math.floor(n / 6);
  const knights = [[0, 1], [0, 2], [0, 3], [0, 4], [1, 2], [1, 3], [1, 4], [2, 3], [2, 4], [3, 4]][n];
  const free = empty();
  for (const k of knights) rank[free[k]] = "n";
  const rest = empty();
  rank[rest[0]] = "r";
  rank[rest[1]] = "k";
  rank[rest[2]] = "r";
  return rank.join("");
}

function startFen(n) {
  const pieces = backRank(n);
  return `${pieces}/pppppppp/8/8/8/8/PPPPPPPP/${pieces.toUpperCase()} w KQkq - 0 1`;
}

// The FEN with a Shredder-FEN castling field: each castling rook's file.
function shredderFen(pos) {
  const fields = makeFen(pos.toSetup()).split(" ");
  let castling = "";
  for (const color of ["white", "black"]) {
    for (const rook of pos.castles.castlingRights.intersect(pos.board[color]).reversed()) {
      const file = "abcdefgh"[squareFile(rook)];
      castling += color === "white" ? file.toUpperCase() : file;
    }
  }
  fields[2] = castling || "-";
  return fields.join(" ");
}

// Vorn reads a file by the standard rules when every castling right has
// its king on the e-file and its rook in the corner, and then writes
// castling as the king's two-file step; else as the king taking its rook.
function standardCastling(pos) {
  for (const rook of pos.castles.castlingRights) {
    const colour = squareRank(rook) === 0 ? "white" : "black";
    if (squareFile(pos.board.kingOf(colour)) !== 4) return false;
    if (squareFile(rook) !== 0 && squareFile(rook) !== 7) return false;
  }
  return true;
}

function moveText(pos, move) {
  let to = move.to;
  const piece = pos.board.get(move.from);
  if (piece.role === "king" && pos.board.get(move.to)?.color === piece.color && standardCastling(pos))
    to = (move.to & ~7) + (move.to > move.from ? 6 : 2);
  return makeSquare(move.from) + makeSquare(to) + (move.promotion ? "q" : "");
}

const workdir = mkdtempSync(join(tmpdir(), "vorn-960-")); // the engine writes match.log here
const file = join(workdir, "position.fen");

function vornCounts(fen) {
  writeFileSync(file, fen + "\n");
  const run = spawnSync(vorn, ["-perft", "-fd", String(depth), "-lpf", file], {
    cwd: workdir,
    encoding: "latin1",
  });
  const counts = new Map();
  for (const line of run.stdout.split("\n")) {
    const m = /^([a-h][1-8][a-h][1-8][qrbn]?): (\d+)$/.exec(line);
    if (m) counts.set(m[1], Number(m[2]));
  }
  return { counts, status: run.status, out: run.stdout };
}

let checked = 0;
let failed = 0;
for (let game = 0; game < games; ++game) {
  const number = Math.floor(random() * 960);
  let pos = positionOf(startFen(number));
  for (let ply = 0; ply <= plies; ++ply) {
    const moves = legalMoves(pos);
    if (ply % every === 0 || moves.length === 0) {
      const fen = checked % 2 ? shredderFen(pos) : makeFen(pos.toSetup());
      const expected = new Map();
      for (const move of moves) {
        const child = pos.clone();
        child.play(move);
        expected.set(moveText(pos, move), perft(child, depth - 1, false));
      }
      const { counts, status, out } = vornCounts(fen);
      const problems = [];
      if (status !== 0) problems.push(`exit status ${status}: ${out.trim().split("\n").pop()}`);
      for (const [move, count] of expected)
        if (counts.get(move) !== count) problems.push(`${move}: chessops ${count}, Vorn ${counts.get(move) ?? "none"}`);
      for (const move of counts.keys()) if (!expected.has(move)) problems.push(`${move}: Vorn only`);
      ++checked;
      if (problems.length) {
        ++failed;
        console.log(`FAILED start ${number} ply ${ply}: ${fen}\n  ${problems.join("\n  ")}`);
      }
    }
    if (moves.length === 0) break;
    pos.play(moves[Math.floor(random() * moves.length)]);
  }
}
rmSync(workdir, { recursive: true, force: true });
console.log(`${checked} positions checked at depth ${depth}, ${failed} failed`);
process.exit(failed ? 1 : 0);
