// Runs "vorn -ts" over an EPD suite and counts the positions whose move is one
// of the line's "bm" moves (standard algebraic notation, read with chess.js).
// Usage: node run-suite.mjs VORN FILE DEPTH
import { spawnSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { Chess } from "chess.js";

const [vorn, file, depth] = process.argv.slice(2);
// Lines as the engine reads them: split at line feeds, a carriage return dropped.
const lines = readFileSync(file, "latin1").split("\n");
if (lines[lines.length - 1] === "") lines.pop();

const workdir = mkdtempSync(join(tmpdir(), "vorn-suite-")); // the engine writes match.log here
const run = spawnSync(vorn, ["-ts", file, "-fd", depth], {
  cwd: workdir,
  encoding: "latin1",
  stdio: ["ignore", "pipe", "inherit"],
  maxBuffer: 1 << 30,
});
rmSync(workdir, { recursive: true, force: true });
if (run.status !== 0) {
  console.error(`vorn ended with status ${run.status}`);
  process.exit(1);
}

// One outcome per line, in order: an error line or a result line ("D S   move ...").
const refused = new Set();
const results = [];
for (const line of run.stdout.split("\n")) {
  const error = /^ERROR: invalid position in line (\d+)/.exec(line);
  if (error) refused.add(Number(error[1]));
  const result = /^-?\d+ (-?\d+) {4}([a-h][1-8][a-h][1-8][qrbn]?)/.exec(line);
  if (result) results.push({ score: Number(result[1]), move: result[2] });
}

let solved = 0, total = 0, next = 0;
lines.forEach((text, index) => {
  const line = text.replace(/\r$/, "");
  if (refused.has(index + 1)) {
    console.log(`line ${index + 1}: not a playable position`);
    return;
  }
  const outcome = results[next++];
  const fields = line.trim().split(/\s+/);
  const bm = /(?:^|;)\s*bm\s+([^;]*)/.exec(fields.slice(4).join(" "));
  if (!bm || !outcome) return;
  const id = /id\s+"([^"]*)"/.exec(line)?.[1] ?? `line ${index + 1}`;
  const wanted = [];
  for (const san of bm[1].trim().split(/\s+/)) {
    const chess = new Chess(`${fields.slice(0, 4).join(" ")} 0 1`);
    const move = chess.move(san, { strict: false });
    wanted.push(move.from + move.to + (move.promotion ?? ""));
  }
  const ok = wanted.includes(outcome.move);
  total++;
  if (ok) solved++;
  console.log(`${ok ? "solved" : "missed"}  ${id}: ${outcome.move} (bm ${bm[1].trim()}) score ${outcome.score}`);
});
console.log(`Solved ${solved} of ${total} at depth ${depth}`);
