// Vorn against itself at a fixed number of nodes a move, from openings of a few
// random plies, as the data of its win/draw/loss model. chess.js is the judge:
// it checks every move Vorn plays and ends the games. Every searched position
// goes to the raw file (one JSON line per game) with the score Vorn reported,
// the material on the board, the move number and the game's result; the
// summary that scripts/fit-wdl reads counts wins, draws and losses of the side
// to move per score and material bucket, and per score and move-number bucket.
//
// Usage: node wdl-selfplay.mjs --engine VORN --raw FILE --summary FILE
//                              [--games N] [--nodes N] [--random-plies N]
// (a later value of an option overrides an earlier one)
// The raw file is resumed: games already in it are kept and the next ones
// played until it holds N games (game K opens with the random plies of seed
// K, and the engine's tables are cleared before each game, so a game is the
// same whether it was played in one run or after a restart). The summary is
// written from the raw file at the end of every run.
import { spawn } from "node:child_process";
import { appendFileSync, existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createInterface } from "node:readline";
import { Chess } from "chess.js";

// A game this long is adjudicated a draw: self-play at a low node count can
// shuffle pieces in a won ending for longer than the fifty-move rule sees.
const MaxPlies = 300;
// Material as the summary counts it, both sides together (78 at the start).
const PieceWeight = { p: 1, n: 3, b: 3, r: 5, q: 9, k: 0 };
// Buckets of the summary. A score bucket is named by its middle and rounds
// away from zero, so that a score and its negation fall into mirrored buckets
// (0 holds -12..12, 25 holds 13..37); a bucket of 25 centipawns blurs the
// score far less than the model's own spread of the results, which is several
// times wider. Scores beyond ScoreLimit are left out of the summary (the fit
// is conditional on the score, so leaving out by score biases nothing) and
// counted in its header. Material and move buckets are named by their lowest
// value.
const ScoreBucket = 25;
const ScoreLimit = 1000;
const MaterialBucket = 3;
const MoveBucket = 5;
const MaxMoveNumber = 150; // later moves share the last move bucket

function parseArguments(argv) {
  const options = { engine: "", raw: "", summary: "", games: 100, nodes: 20000, randomPlies: 8 };
  const names = { "--engine": "engine", "--raw": "raw", "--summary": "summary", "--games": "games",
                  "--nodes": "nodes", "--random-plies": "randomPlies" };
  for (let i = 0; i < argv.length; i += 2) {
    const key = names[argv[i]];
    if (!key || i + 1 >= argv.length) throw new Error(`bad argument ${argv[i]}`);
    if (typeof options[key] === "string") {
      options[key] = argv[i + 1];
    } else {
      const n = Number(argv[i + 1]);
      if (!Number.isInteger(n) || n < (key === "randomPlies" ? 0 : 1)) throw new Error(`bad value for ${argv[i]}: ${argv[i + 1]}`);
      options[key] = n;
    }
  }
  if (!options.engine || !options.raw || !options.summary) throw new Error("--engine, --raw and --summary are needed");
  return options;
}

// A small seeded generator (mulberry32): the openings must not depend on
// Node's Math.random.
function Random(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function Material(chess) {
  let total = 0;
  for (const row of chess.board()) for (const square of row) if (square) total += PieceWeight[square.type];
  return total;
}

// How the game stands after a move: null while it goes on, else the ending and
// the result from White's side.
function Ending(chess, plies) {
  if (chess.isCheckmate()) return { ending: "checkmate", result: chess.turn() === "w" ? "0-1" : "1-0" };
  if (chess.isStalemate()) return { ending: "stalemate", result: "1/2-1/2" };
  if (chess.isInsufficientMaterial()) return { ending: "material", result: "1/2-1/2" };
  if (chess.isThreefoldRepetition()) return { ending: "repetition", result: "1/2-1/2" };
  if (chess.isDrawByFiftyMoves()) return { ending: "fifty moves", result: "1/2-1/2" };
  if (plies >= MaxPlies) return { ending: "ply limit", result: "1/2-1/2" };
  return null;
}

// The engine over UCI, one line at a time.
class Engine {
  constructor(path) {
    this.workdir = mkdtempSync(join(tmpdir(), "vorn-wdl-")); // for its match.log
    this.process = spawn(path, [], { cwd: this.workdir, stdio: ["pipe", "pipe", "inherit"] });
    this.lines = [];
    this.waiting = null;
    this.closed = false;
    createInterface({ input: this.process.stdout }).on("line", (line) => {
      this.lines.push(line);
      this.wake();
    });
    this.process.on("exit", () => {
      this.closed = true;
      this.wake();
    });
  }

  wake() {
    if (this.waiting) {
      const resolve = this.waiting;
      this.waiting = null;
      resolve();
    }
  }

  send(text) { this.process.stdin.write(`${text}\n`); }

  async line() {
    while (!this.lines.length) {
      if (this.closed) throw new Error("vorn exited");
      await new Promise((resolve) => { this.waiting = resolve; });
    }
    return this.lines.shift();
  }

  async until(prefix) {
    for (;;) {
      const line = await this.line();
      if (line.startsWith(prefix)) return line;
    }
  }

  // The move and the last score of a search: [cp, 0] or [0, mate in N moves].
  async search(moves, nodes) {
    this.send(`position startpos moves ${moves.join(" ")}`);
    this.send(`go nodes ${nodes}`);
    let score = null;
    for (;;) {
      const line = await this.line();
      const found = / score (cp|mate) (-?\d+)/.exec(line);
      if (found) score = found[1] === "cp" ? [Number(found[2]), 0] : [0, Number(found[2])];
      if (line.startsWith("bestmove ")) {
        if (!score) throw new Error(`no score before "${line}" after ${moves.join(" ")}`);
        return { move: line.split(/\s+/)[1], score };
      }
    }
  }

  close() {
    this.send("quit");
    rmSync(this.workdir, { recursive: true, force: true });
  }
}

function ToMoveObject(uci) {
  return { from: uci.slice(0, 2), to: uci.slice(2, 4), promotion: uci.length > 4 ? uci[4] : undefined };
}

// One game: the random plies of its seed, then Vorn's moves until the judge ends it.
async function PlayGame(engine, index, options) {
  const chess = new Chess();
  const random = Random(index + 1);
  const moves = [];
  const positions = [];
  engine.send("ucinewgame");
  engine.send("isready");
  await engine.until("readyok");
  let end = null;
  for (let ply = 0; ply < options.randomPlies && !end; ++ply) {
    const legal = chess.moves({ verbose: true });
    const move = legal[Math.floor(random() * legal.length)];
    chess.move(move);
    moves.push(move.lan);
    end = Ending(chess, moves.length);
  }
  while (!end) {
    const { move, score } = await engine.search(moves, options.nodes);
    // [move number, side to move (0 White), centipawns, mate in moves, material]
    positions.push([chess.moveNumber(), chess.turn() === "w" ? 0 : 1, score[0], score[1], Material(chess)]);
    try {
      chess.move(ToMoveObject(move));
    } catch {
      throw new Error(`illegal move ${move} after ${moves.join(" ")}`);
    }
    moves.push(move);
    end = Ending(chess, moves.length);
  }
  return { game: index, ...end, plies: moves.length, positions };
}

function ReadRaw(path) {
  if (!existsSync(path)) return { settings: null, games: [] };
  const lines = readFileSync(path, "utf8").split("\n").filter((line) => line.length);
  const records = lines.map((line) => JSON.parse(line));
  return { settings: records[0]?.settings ?? null, games: records.filter((r) => r.game !== undefined) };
}

function Versions(vorn) {
  return new Promise((resolve, reject) => {
    const child = spawn(vorn, ["--version"], { stdio: ["ignore", "pipe", "inherit"] });
    let text = "";
    child.stdout.on("data", (chunk) => { text += chunk; });
    child.on("exit", (code) => (code === 0 ? resolve(text.trim()) : reject(new Error("vorn --version failed"))));
  });
}

function Bucket(value, width) {
  const sign = value < 0 ? -1 : 1;
  return sign * Math.floor((Math.abs(value) + width / 2) / width) * width;
}

function Count(table, key, resultForMover) {
  if (!table.has(key)) table.set(key, [0, 0, 0]);
  table.get(key)[resultForMover === 1 ? 0 : resultForMover === 0.5 ? 1 : 2]++;
}

// One line per bucket of material or move number: its lowest score bucket,
// then W/D/L for each score bucket from there up ("-" for an empty one).
function Rows(table, name) {
  const rows = new Map();
  for (const [key, counts] of table) {
    const [x, score] = key.split(" ").map(Number);
    if (!rows.has(x)) rows.set(x, new Map());
    rows.get(x).set(score, counts.join("/"));
  }
  return [...rows.keys()].sort((p, q) => p - q).map((x) => {
    const cells = rows.get(x);
    const scores = [...cells.keys()];
    const low = Math.min(...scores), high = Math.max(...scores);
    const text = [];
    for (let score = low; score <= high; score += ScoreBucket) text.push(cells.get(score) ?? "-");
    return `${name} ${x} ${low} ${text.join(" ")}`;
  });
}

function WriteSummary(path, settings, games) {
  const byMaterial = new Map();
  const byMove = new Map();
  let positions = 0, mates = 0, beyond = 0;
  const results = { "1-0": 0, "1/2-1/2": 0, "0-1": 0 };
  const endings = {};
  for (const game of games) {
    results[game.result]++;
    endings[game.ending] = (endings[game.ending] ?? 0) + 1;
    const whiteResult = game.result === "1-0" ? 1 : game.result === "0-1" ? 0 : 0.5;
    for (const [moveNumber, side, cp, mate, material] of game.positions) {
      positions++;
      if (mate) {
        mates++;
        continue;
      }
      if (Math.abs(cp) > ScoreLimit) {
        beyond++;
        continue;
      }
      const forMover = side === 0 ? whiteResult : 1 - whiteResult;
      const score = Bucket(cp, ScoreBucket);
      Count(byMaterial, `${Math.floor(material / MaterialBucket) * MaterialBucket} ${score}`, forMover);
      const move = Math.min(moveNumber, MaxMoveNumber);
      Count(byMove, `${Math.floor(move / MoveBucket) * MoveBucket} ${score}`, forMover);
    }
  }
  const endingText = Object.entries(endings).sort().map(([name, n]) => `${name} ${n}`).join(", ");
  const header = [
    "# Vorn against itself: wins, draws and losses of the side to move by the score it reported",
    `# command: scripts/wdl-selfplay --games ${games.length} --nodes ${settings.nodes} --random-plies ${settings.randomPlies}`,
    `# build: ${settings.build}`,
    `# played: ${settings.started} to ${new Date().toISOString().slice(0, 10)}`,
    `# games: ${games.length} (1-0 ${results["1-0"]}, 1/2-1/2 ${results["1/2-1/2"]}, 0-1 ${results["0-1"]}; ${endingText})`,
    `# positions searched: ${positions}, of them ${mates} with a mate score and ${beyond} beyond ${ScoreLimit} cp (left out)`,
    "# Rows: material M S0 W/D/L W/D/L ... (M: pawns 1, knights and bishops 3, rooks 5, queens 9, both sides)",
    `#       move N S0 W/D/L W/D/L ... (N: the move number, ${MaxMoveNumber} for any later one)`,
    "# M and N name their buckets by the lowest value. W/D/L count the side to move's wins, draws and",
    "# losses at the score buckets S0, S0 + score-bucket, ... (centipawns, each named by its middle);",
    "# \"-\" is an empty bucket.",
    `score-bucket ${ScoreBucket}`,
    `material-bucket ${MaterialBucket}`,
    `move-bucket ${MoveBucket}`,
  ];
  writeFileSync(path, [...header, ...Rows(byMaterial, "material"), ...Rows(byMove, "move"), ""].join("\n"));
}

async function Main() {
  const options = parseArguments(process.argv.slice(2));
  const build = await Versions(options.engine);
  const { settings: stored, games } = ReadRaw(options.raw);
  const settings = stored ?? { nodes: options.nodes, randomPlies: options.randomPlies, build,
                               started: new Date().toISOString().slice(0, 10) };
  if (settings.nodes !== options.nodes || settings.randomPlies !== options.randomPlies || settings.build !== build)
    throw new Error(`${options.raw} was played with other settings: ${JSON.stringify(settings)}`);
  if (!stored) writeFileSync(options.raw, `${JSON.stringify({ settings })}\n`);
  if (games.length < options.games) {
    const engine = new Engine(options.engine);
    engine.send("uci");
    await engine.until("uciok");
    engine.send("setoption name Hash value 16");
    const start = Date.now();
    for (let index = games.length; index < options.games; ++index) {
      const game = await PlayGame(engine, index, options);
      appendFileSync(options.raw, `${JSON.stringify(game)}\n`);
      games.push(game);
      if (games.length % 20 === 0 || index + 1 === options.games)
        console.error(`${games.length} games, ${Math.round((Date.now() - start) / 1000)} s`);
    }
    engine.close();
  }
  WriteSummary(options.summary, settings, games.slice(0, options.games));
}

Main().catch((error) => {
  console.error(`wdl-selfplay: ${error.message}`);
  process.exit(1);
});
