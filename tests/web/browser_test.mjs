// The web page in a real browser: Debian's chromium, headless, driven by
// playwright-core against "vorn --web". A whole game played by clicking
// squares, its PGN, the analysis with its lines and graph, take-back, a
// start from a FEN and a Chess960 game. Screenshots go to the artefacts
// folder. Exits 77 (skipped) without chromium or web/node_modules.
// Usage: node tests/web/browser_test.mjs VORN ARTEFACTS
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { existsSync, mkdirSync, readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';

const [vorn, artefacts] = process.argv.slice(2).map((path) => path && resolve(path));
if (!vorn || !artefacts) {
  console.error('usage: node browser_test.mjs VORN ARTEFACTS');
  process.exit(2);
}
const chromiumPath = '/usr/bin/chromium';
if (!existsSync(chromiumPath)) {
  console.log(`skipped: no ${chromiumPath} (apt-get install chromium)`);
  process.exit(77);
}
// The page's own packages from web/node_modules: playwright-core, and
// chessops's modules (the version package-lock.json pins) by their paths.
const modules = new URL('../../web/node_modules/', import.meta.url);
let chromium, chessops = {};
try {
  ({ chromium } = createRequire(modules)('playwright-core'));
  for (const name of ['chess', 'compat', 'fen', 'pgn', 'san'])
    Object.assign(chessops, await import(new URL(`chessops/dist/esm/${name}.js`, modules)));
} catch {
  console.log('skipped: web/node_modules lacks playwright-core or chessops (the build runs npm ci in web/)');
  process.exit(77);
}
mkdirSync(artefacts, { recursive: true });

// A repeatable choice of moves.
let seed = 20261211;
const random = (n) => {
  seed = (seed * 1103515245 + 12345) % 2147483648;
  return seed % n;
};

function startServer() {
  const server = spawn(vorn, ['--web', '--port', '0'], { cwd: artefacts, stdio: ['ignore', 'pipe', 'inherit'] });
  let output = '';
  const address = new Promise((resolve, reject) => {
    server.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /page is at (http:\/\/\S+\/)/.exec(output);
      if (match) resolve(match[1]);
    });
    server.on('exit', (code) => reject(new Error(`vorn --web ended (${code}): ${output}`)));
  });
  const ended = new Promise((resolve) => server.on('exit', (code) => resolve({ code, output })));
  return { server, address, ended, output: () => output };
}

const moveCount = (page) => page.locator('#moves li').count();

// A picture of the page once the pieces have slid to their squares.
async function screenshot(page, name) {
  await page.waitForTimeout(500);
  await page.screenshot({ path: join(artefacts, name) });
}
const fenOf = (page) => page.inputValue('#fen');

async function clickSquare(page, square, orientation) {
  const box = await page.locator('#board').boundingBox();
  const file = square.charCodeAt(0) - 97;
  const rank = Number(square[1]) - 1;
  const column = orientation === 'white' ? file : 7 - file;
  const row = orientation === 'white' ? 7 - rank : rank;
  await page.mouse.click(box.x + (column + 0.5) * box.width / 8, box.y + (row + 0.5) * box.height / 8);
}

// Plays a move of the position shown by clicking its two squares (and the
// queen when it promotes); returns its SAN.
async function clickMove(page, orig, dest, orientation) {
  const position = chessops.Chess.fromSetup(chessops.parseFen(await fenOf(page)).unwrap()).unwrap();
  const move = chessops.normalizeMove(position, { from: squareIndex(orig), to: squareIndex(dest) });
  const promotes = position.board.getRole(move.from) === 'pawn' && (dest[1] === '8' || dest[1] === '1');
  const san = chessops.makeSan(position, promotes ? { ...move, promotion: 'queen' } : move);
  await clickSquare(page, orig, orientation);
  await clickSquare(page, dest, orientation);
  if (promotes) await page.click('#promotion button[data-role="queen"]');
  return san;
}

const squareIndex = (name) => (Number(name[1]) - 1) * 8 + name.charCodeAt(0) - 97;

// A legal move of the shown position, as chessground takes it.
async function randomMove(page) {
  const position = chessops.Chess.fromSetup(chessops.parseFen(await fenOf(page)).unwrap()).unwrap();
  const pairs = [];
  for (const [orig, dests] of chessops.chessgroundDests(position, { chess960: false }))
    for (const dest of dests)
      // Castling both ways is one move: the king's two-square step is enough.
      if (!(position.board.getRole(squareIndex(orig)) === 'king' &&
            position.board.get(squareIndex(dest))?.role === 'rook')) pairs.push([orig, dest]);
  return pairs[random(pairs.length)];
}

async function newGame(page, { side = 'white', clock = '5+0', vornClock = '', start = 'standard', fen = '' } = {}) {
  if (await page.locator('#new-game-form').isHidden()) await page.click('#new-game');
  await page.selectOption('#side', side);
  await page.selectOption('#start-kind', start);
  if (start === 'fen') await page.fill('#start-fen', fen);
  await page.fill('#clock', clock);
  await page.fill('#vorn-clock', vornClock);
  await page.click('#start');
  await page.waitForSelector('#new-game-form', { state: 'hidden' });
}

const sansOfList = async (page) =>
  (await page.locator('#moves li').allTextContents()).map((text) => text.replace(/^\d+\.(…)?\s*/, ''));

async function wholeGame(page) {
  await newGame(page, { side: 'white', clock: '10+0', vornClock: '0:05+0.05' });
  const played = [];
  for (let plies = 0; ; plies = await moveCount(page)) {
    assert.ok(plies < 400, 'the game lasts past 400 plies');
    if (await page.textContent('#result')) break;
    const [orig, dest] = await randomMove(page);
    played.push(await clickMove(page, orig, dest, 'white'));
    // Vorn's reply, or the game's end.
    await page.waitForFunction(
      (count) => document.querySelectorAll('#moves li').length >= count + 2 ||
        document.getElementById('result').textContent !== '',
      plies, { timeout: 60000 });
    if (plies === 10) await screenshot(page, 'game-in-progress.png');
  }
  const result = await page.textContent('#result');
  assert.match(result, /^(1-0|0-1|1\/2-1\/2) · \S/, `the end names its result and reason: ${result}`);
  const sans = await sansOfList(page);
  // Every move the test played is in the list, at its place.
  played.forEach((san, i) => assert.equal(sans[2 * i], san, `move ${2 * i + 1}`));
  await screenshot(page, 'game-over.png');
  console.log(`whole game: ${sans.length} plies, ${result}`);
  return sans;
}

async function pgnDownload(page, sans) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#pgn-download')]);
  const text = readFileSync(await download.path(), 'utf8');
  const [game] = chessops.parsePgn(text);
  const moves = [...game.moves.mainline()].map((node) => node.san);
  assert.deepEqual(moves, sans, 'the PGN holds the moves played');
  const result = (await page.textContent('#result')).split(' ')[0];
  assert.equal(game.headers.get('Result'), result);
  console.log(`PGN: ${moves.length} moves, result ${result}`);
}

async function analysis(page, sans) {
  await page.click('#analyse');
  // The game's last position may have no move left: the lines of one before it.
  await page.click(`#moves li[data-ply="${sans.length - 1}"]`);
  await page.waitForFunction(() => document.querySelectorAll('#lines .line').length === 3, null, { timeout: 120000 });
  // One point a move: the scan reads the whole game.
  await page.waitForFunction((count) => document.querySelectorAll('#graph circle').length === count,
    sans.length, { timeout: 120000 });
  const endLines = await page.locator('#lines .pv').allTextContents();
  // Another position of the game: its own lines.
  const ply = Math.min(6, sans.length - 1);
  await page.click(`#moves li[data-ply="${ply}"]`);
  const fen = await fenOf(page);
  await page.waitForFunction((before) => {
    const lines = [...document.querySelectorAll('#lines .pv')].map((e) => e.textContent);
    return lines.length === 3 && lines.join('|') !== before.join('|');
  }, endLines, { timeout: 120000 });
  const lines = await page.locator('#lines .pv').allTextContents();
  // Each line starts with a legal move of the shown position.
  const position = chessops.Chess.fromSetup(chessops.parseFen(fen).unwrap()).unwrap();
  for (const line of lines) {
    const first = line.replace(/^\d+\.(\.\.)?\s*/, '').split(' ')[0];
    assert.ok(chessops.parseSan(position, first), `line ${line} starts with a legal move of ${fen}`);
  }
  assert.equal(new Set(lines.map((line) => line.split(' ').slice(0, 2).join(' '))).size, 3, 'three different lines');
  // A click on the graph takes the board to that move.
  const graph = await page.locator('#graph').boundingBox();
  await page.mouse.click(graph.x + graph.width * 0.02, graph.y + graph.height / 2);
  await page.waitForFunction(() => document.querySelector('#moves .current')?.dataset.ply === '1');
  await page.waitForFunction(() => document.querySelectorAll('#lines .line').length === 3, null, { timeout: 120000 });
  await page.click(`#moves li[data-ply="${Math.ceil(sans.length / 2)}"]`);
  await page.waitForFunction(() => document.querySelectorAll('#lines .line').length === 3, null, { timeout: 120000 });
  await screenshot(page, 'analysis.png');
  console.log(`analysis: lines at ply ${ply}: ${lines.join(' | ')}`);
}

async function takeBack(page) {
  await newGame(page, { side: 'white', clock: '5+0' });
  await page.fill('#san', 'e4');
  await page.press('#san', 'Enter');
  await page.waitForFunction(() => document.querySelectorAll('#moves li').length === 2, null, { timeout: 120000 });
  await page.click('#undo');
  await page.waitForFunction(() => document.querySelectorAll('#moves li').length === 0);
  assert.equal(await fenOf(page), 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1');
  console.log('take-back: back to the start');
}

async function fenStart(page) {
  await newGame(page, { side: 'white', clock: '5+0', start: 'fen', fen: '6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1' });
  assert.equal(await fenOf(page), '6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1');
  await clickMove(page, 'a1', 'a8', 'white');
  await page.waitForFunction(() => document.getElementById('result').textContent !== '');
  assert.equal(await page.textContent('#result'), '1-0 · White mates');
  console.log('FEN start: mated in one');
}

async function chess960(page) {
  await newGame(page, { side: 'black', clock: '5+0', vornClock: '0:05+0.05', start: 'chess960' });
  await page.waitForFunction(() => document.querySelectorAll('#moves li').length === 1, null, { timeout: 120000 });
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#pgn-download')]);
  const [game] = chessops.parsePgn(readFileSync(await download.path(), 'utf8'));
  assert.equal(game.headers.get('Variant'), 'Chess960');
  const start = chessops.startingPosition(game.headers).unwrap();
  assert.ok(chessops.parseSan(start, [...game.moves.mainline()][0].san), 'Vorn\'s move is legal in its start');
  console.log(`Chess960: ${game.headers.get('FEN')}, Vorn played ${[...game.moves.mainline()][0].san}`);
}

const { server, address, ended, output } = startServer();
let failed = false;
const browser = await chromium.launch({
  executablePath: chromiumPath,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
try {
  const page = await browser.newPage({ viewport: { width: 1280, height: 900 }, acceptDownloads: true });
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.setDefaultTimeout(20000);
  await page.goto(await address);
  await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Start'));
  const sans = await wholeGame(page);
  await pgnDownload(page, sans);
  await analysis(page, sans);
  await takeBack(page);
  await fenStart(page);
  await chess960(page);
  assert.deepEqual(errors, [], 'the page threw no error');
} catch (error) {
  failed = true;
  console.error(error);
} finally {
  await browser.close();
  // Ctrl-C ends the server cleanly.
  server.kill('SIGINT');
  const { code, output: text } = await ended;
  if (code !== 0 || !text.includes('stopped')) {
    failed = true;
    console.error(`vorn --web ended with ${code} after SIGINT: ${output()}`);
  }
}
console.log(failed ? 'browser tests FAILED' : `browser tests passed; screenshots in ${artefacts}`);
process.exit(failed ? 1 : 0);
