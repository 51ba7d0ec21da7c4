// The page of "vorn --web": a board to play Vorn and to analyse with it.
// The server keeps the game (its moves, clocks and end) and searches; this
// page shows it, with chessops for the rules, SAN, FEN and PGN and
// chessground for the board. The server's events come on one event stream;
// commands go as form posts that name this page's game.
import { Chessground } from 'chessground';
import { Chess, normalizeMove } from 'chessops/chess';
import { chessgroundDests } from 'chessops/compat';
import { makeFen, parseFen } from 'chessops/fen';
import { defaultGame, makePgn, parsePgn, startingPosition, ChildNode } from 'chessops/pgn';
import { makeSan, makeSanVariation, parseSan } from 'chessops/san';
import { makeSquare, parseSquare, parseUci, squareRank } from 'chessops/util';
import 'chessground/assets/chessground.base.css';
import 'chessground/assets/chessground.brown.css';
import 'chessground/assets/chessground.cburnett.css';
import './page.css';

const $ = (id) => document.getElementById(id);
const START_FEN = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';

// What the page knows: the server's last state, the game rebuilt from it,
// the position shown and the analysis heard.
const page = {
  game: null, // the token that names this page's game
  version: '',
  options: [],
  tablebases: false,
  state: null, // the server's last state event
  stateAt: 0, // when it came (performance.now())
  start: null, // the game's start position (chessops)
  positions: [], // after each ply, the start first
  sans: [],
  moves: [], // chessops moves of the game
  viewPly: 0,
  line: [], // moves after the shown ply, in analysis: a variation of the user's
  analysisId: 0,
  lines: new Map(), // multipv: its last line
  tablebase: null,
  graph: [], // by ply - 1: a score
  thinking: null,
  pendingPromotion: null,
};

// ---------------------------------------------------------------------------
// Talking to the server
// ---------------------------------------------------------------------------

async function send(fields) {
  const response = await fetch('/api/command', {
    method: 'POST',
    headers: { 'X-Vorn-Game': page.game },
    body: new URLSearchParams(fields),
  });
  const reply = await response.json().catch(() => ({ error: 'no answer' }));
  if (!response.ok) {
    say(reply.error || `refused (${response.status})`);
    // A move shown ahead of the server's answer goes again.
    if (page.state) rebuildGame();
    page.viewPly = Math.min(page.viewPly, page.positions.length - 1);
    render();
    return null;
  }
  if (reply.id) page.analysisId = Math.max(page.analysisId, reply.id);
  return reply;
}

function connect() {
  const events = new EventSource('/api/events');
  events.onmessage = (message) => {
    const event = JSON.parse(message.data);
    const handler = handlers[event.type];
    if (handler) handler(event);
  };
  // A new stream would be a new game: the page says so instead.
  events.onerror = () => {
    events.close();
    $('status').textContent = page.game
      ? 'The server has gone: start vorn --web again and reload the page.'
      : 'Vorn did not take this page (it plays four pages at once, or it has stopped).';
    document.body.classList.add('offline');
  };
}

const handlers = {
  hello(event) {
    page.game = event.game;
    page.version = event.version;
    page.options = event.options;
    page.tablebases = event.tablebases;
    setUpOptions();
  },
  state(event) {
    const previous = page.state;
    const atEnd = page.viewPly >= page.positions.length - 1;
    page.state = event;
    page.stateAt = performance.now();
    rebuildGame();
    // In play the board follows the game unless its player looks back.
    const changed = !previous || previous.analysing || previous.start !== event.start ||
      previous.moves.length > event.moves.length;
    if (!event.analysing) {
      page.line = [];
      if (atEnd || changed) page.viewPly = page.positions.length - 1;
    }
    page.viewPly = Math.min(page.viewPly, page.positions.length - 1);
    page.graph.length = Math.min(page.graph.length, page.moves.length);
    if (!event.thinking) page.thinking = null;
    render();
  },
  line(event) {
    if (event.kind === 'thinking') {
      page.thinking = event;
      renderThinking();
      return;
    }
    if (event.id < page.analysisId) return;
    if (event.id > page.analysisId) {
      page.analysisId = event.id;
      page.lines.clear();
    }
    page.lines.set(event.multipv, event);
    renderAnalysis();
  },
  tablebase(event) {
    if (event.id < page.analysisId) return;
    page.tablebase = event;
    renderAnalysis();
  },
  graph(event) {
    if (event.ply > page.moves.length) return;
    page.graph[event.ply - 1] = event.score;
    renderGraph();
  },
};

// ---------------------------------------------------------------------------
// The game, rebuilt from the server's moves
// ---------------------------------------------------------------------------

function positionFrom(fen) {
  const setup = parseFen(fen);
  if (setup.isErr) return null;
  const position = Chess.fromSetup(setup.value);
  return position.isErr ? null : position.value;
}

// A move the server writes ("e1g1", or "e1h1" in Chess960) as chessops plays it.
function moveOf(position, uci) {
  const move = parseUci(uci);
  return move && normalizeMove(position, move);
}

// A move as the server reads it: castling as the king's step in standard
// chess, as the king taking its rook in Chess960.
function serverUci(position, move, chess960 = page.state.chess960) {
  let to = move.to;
  const king = position.board.getRole(move.from) === 'king';
  const ownRook = position.board.get(move.to)?.role === 'rook' &&
    position.board.get(move.to)?.color === position.turn;
  if (king && ownRook && !chess960)
    to = move.from + (move.to > move.from ? 2 : -2);
  const promotion = move.promotion ? { queen: 'q', rook: 'r', bishop: 'b', knight: 'n' }[move.promotion] : '';
  return makeSquare(move.from) + makeSquare(to) + promotion;
}

function rebuildGame() {
  const state = page.state;
  page.start = positionFrom(state.start) || Chess.default();
  const position = page.start.clone();
  page.positions = [position.clone()];
  page.sans = [];
  page.moves = [];
  for (const uci of state.moves) {
    const move = moveOf(position, uci);
    if (!move || !position.isLegal(move)) break;
    page.sans.push(makeSan(position, move));
    page.moves.push(move);
    position.play(move);
    page.positions.push(position.clone());
  }
}

// The position shown, and the moves that lead to it from the game's.
function shownPosition() {
  const position = page.positions[page.viewPly].clone();
  for (const move of page.line) position.play(move);
  return position;
}

function playerColor() {
  const vorn = page.state?.vorn;
  return vorn === 'white' ? 'black' : vorn === 'black' ? 'white' : null;
}

function canPlayOnBoard() {
  const state = page.state;
  if (!state) return false;
  if (state.analysing) return true;
  const atEnd = page.viewPly === page.positions.length - 1;
  const player = playerColor();
  return atEnd && player !== null && !state.result && shownPosition().turn === player;
}

// A move from the board or typed: played in the game, or added to the
// analysis' variation.
async function playMove(move) {
  const position = shownPosition();
  if (!position.isLegal(move)) {
    say('That move is not legal here.');
    render();
    return;
  }
  if (page.state.analysing) {
    page.line.push(move);
    render();
    await analyse();
    return;
  }
  const uci = serverUci(position, move);
  // Shown at once; the server's state follows.
  page.positions.push(applied(position, move));
  page.sans.push(makeSan(position, move));
  page.moves.push(move);
  page.viewPly = page.positions.length - 1;
  render();
  await send({ cmd: 'move', move: uci });
}

function applied(position, move) {
  const after = position.clone();
  after.play(move);
  return after;
}

function isPromotion(position, from, to) {
  const piece = position.board.get(from);
  return piece?.role === 'pawn' && (squareRank(to) === 0 || squareRank(to) === 7);
}

function askPromotion(move) {
  page.pendingPromotion = move;
  $('promotion').classList.remove('hidden');
}

// ---------------------------------------------------------------------------
// Showing it
// ---------------------------------------------------------------------------

const board = Chessground($('board'), {
  coordinates: true,
  movable: { free: false, showDests: true, events: { after: onBoardMove } },
  draggable: { showGhost: true },
  premovable: { enabled: false },
  drawable: { enabled: true },
});

function onBoardMove(orig, dest) {
  const position = shownPosition();
  const from = parseSquare(orig);
  const to = parseSquare(dest);
  const move = normalizeMove(position, { from, to });
  if (isPromotion(position, from, to)) askPromotion(move);
  else playMove(move);
}

function render() {
  const state = page.state;
  if (!state) return;
  const position = shownPosition();
  const fen = makeFen(position.toSetup());
  const orientation = playerColor() || board.state.orientation || 'white';
  const movable = canPlayOnBoard();
  const lastMove = page.line.length ? page.line[page.line.length - 1] : page.moves[page.viewPly - 1];
  board.set({
    fen,
    orientation,
    turnColor: position.turn,
    check: position.isCheck() ? position.turn : false,
    lastMove: lastMove ? [makeSquare(lastMove.from), makeSquare(lastMove.to)] : undefined,
    movable: {
      color: movable ? position.turn : undefined,
      dests: movable ? chessgroundDests(position, { chess960: state.chess960 }) : new Map(),
      rookCastle: true,
    },
  });
  $('fen').value = fen;
  renderMoves();
  renderStatus(position);
  renderClocks();
  renderButtons();
  renderThinking();
  renderAnalysis();
  renderGraph();
}

function renderMoves() {
  const list = $('moves');
  list.replaceChildren();
  const firstNumber = page.start ? page.start.fullmoves : 1;
  const blackFirst = page.start?.turn === 'black';
  page.sans.forEach((san, i) => {
    const ply = i + 1;
    const blackMove = (i % 2 === 0) === blackFirst;
    const number = firstNumber + Math.floor((i + (blackFirst ? 1 : 0)) / 2);
    const item = document.createElement('li');
    item.className = 'move' + (ply === page.viewPly ? ' current' : '');
    item.dataset.ply = ply;
    item.textContent = (blackMove ? (i === 0 ? `${number}… ` : '') : `${number}. `) + san;
    item.addEventListener('click', () => goTo(ply));
    list.append(item);
  });
  list.querySelector('.current')?.scrollIntoView({ block: 'nearest' });
  const variation = $('variation');
  variation.classList.toggle('hidden', page.line.length === 0);
  if (page.line.length) $('variation-moves').textContent =
    'Variation: ' + makeSanVariation(page.positions[page.viewPly], page.line);
}

function renderStatus(position) {
  const state = page.state;
  const result = $('result');
  result.textContent = state.result ? `${state.result} · ${state.reason}` : '';
  let status;
  if (state.vorn === 'none') status = state.analysing ? 'Analysing a loaded game.' : 'Start a new game, or paste one to analyse.';
  else if (state.result) status = 'The game is over.';
  else if (state.analysing) status = 'The game waits, its clocks stopped, while you analyse.';
  else if (state.thinking) status = 'Vorn is thinking…';
  else status = 'Your move.';
  $('status').textContent = status;
  $('typing').classList.toggle('hidden', !canPlayOnBoard());
  $('name-bottom').textContent = nameOf(board.state.orientation);
  $('name-top').textContent = nameOf(board.state.orientation === 'white' ? 'black' : 'white');
  document.title = state.result ? `Vorn: ${state.result}` : `Vorn: ${position.turn} to move`;
}

function nameOf(color) {
  const vorn = page.state?.vorn;
  const side = color === 'white' ? 'White' : 'Black';
  if (vorn === 'none') return side;
  return vorn === color ? `Vorn (${side})` : `You (${side})`;
}

function clockText(ms) {
  const tenths = Math.max(0, Math.floor(ms / 100));
  const minutes = Math.floor(tenths / 600);
  const seconds = Math.floor((tenths % 600) / 10);
  const text = `${minutes}:${String(seconds).padStart(2, '0')}`;
  return ms < 10000 ? `${text}.${tenths % 10}` : text;
}

function renderClocks() {
  const clock = page.state?.clock;
  for (const [id, color] of [['clock-bottom', board.state.orientation], ['clock-top', board.state.orientation === 'white' ? 'black' : 'white']]) {
    const element = $(id);
    if (!clock) {
      element.textContent = '';
      continue;
    }
    const running = clock.running === color;
    const left = clock[color] - (running ? performance.now() - page.stateAt : 0);
    element.textContent = clockText(left);
    element.classList.toggle('running', running);
    element.classList.toggle('low', left < 10000);
  }
}

function renderButtons() {
  const state = page.state;
  const played = state.vorn !== 'none';
  $('undo').disabled = !played || state.analysing;
  $('resign').disabled = !played || !!state.result;
  $('move-now').disabled = !state.thinking;
  $('analyse').classList.toggle('hidden', state.analysing);
  $('back-to-game').classList.toggle('hidden', !state.analysing || !played);
  $('analysis').classList.toggle('hidden', !state.analysing);
  $('evalbar').classList.toggle('hidden', !state.analysing);
}

function scoreText(score) {
  if ('mate' in score) return `#${score.mate}`;
  if ('won' in score) return score.won === 'white' ? '1-0' : '0-1';
  const pawns = score.cp / 100;
  return (pawns > 0 ? '+' : '') + pawns.toFixed(2);
}

// A score as a number for the bar and the graph: centipawns, a mate far out.
function scoreValue(score) {
  if ('mate' in score) return score.mate > 0 ? 2000 : -2000;
  if ('won' in score) return score.won === 'white' ? 2000 : -2000;
  return score.cp;
}

function renderThinking() {
  const thinking = page.thinking;
  const element = $('thinking');
  if (!thinking || !page.state?.thinking) {
    element.textContent = '';
    return;
  }
  const position = page.positions[page.positions.length - 1];
  element.textContent = `Vorn: depth ${thinking.depth}, ${scoreText(thinking.score)}, ${sanLine(position, thinking.pv, 6)}`;
}

// The moves of a line in SAN from `position`, at most `limit` of them.
function sanLine(position, ucis, limit = 12) {
  const moves = [];
  const scratch = position.clone();
  for (const uci of ucis.slice(0, limit)) {
    const move = moveOf(scratch, uci);
    if (!move || !scratch.isLegal(move)) break;
    moves.push(move);
    scratch.play(move);
  }
  return makeSanVariation(position, moves);
}

function renderAnalysis() {
  if (!page.state?.analysing) return;
  const position = shownPosition();
  const container = $('lines');
  container.replaceChildren();
  const lines = [...page.lines.values()].sort((a, b) => a.multipv - b.multipv);
  for (const line of lines) {
    const row = document.createElement('div');
    row.className = 'line';
    const score = document.createElement('span');
    score.className = 'score';
    score.textContent = scoreText(line.score);
    const facts = document.createElement('span');
    facts.className = 'facts';
    facts.textContent = `depth ${line.depth}/${line.seldepth} · ${Math.round(line.nps / 1000)} kN/s`;
    const moves = document.createElement('span');
    moves.className = 'pv';
    moves.textContent = sanLine(position, line.pv);
    row.append(score, moves, facts);
    container.append(row);
  }
  if (!lines.length) container.textContent = position.isEnd() ? 'The game has ended here.' : 'Vorn is looking…';
  const best = lines[0];
  const share = best ? 50 + 50 * (2 / (1 + Math.exp(-0.004 * scoreValue(best.score))) - 1) : 50;
  $('evalbar-white').style.height = `${share}%`;
  const tablebase = page.tablebase;
  $('tablebase').textContent = !tablebase || tablebase.id < page.analysisId ? '' :
    tablebase.winner === 'draw' ? 'Tablebase: a draw' :
      `Tablebase: ${tablebase.winner === 'white' ? 'White' : 'Black'} wins, mate in ${Math.ceil(tablebase.plies / 2)}`;
}

const SVG = 'http://www.w3.org/2000/svg';

function renderGraph() {
  if (!page.state?.analysing) return;
  const svg = $('graph');
  svg.replaceChildren();
  const count = page.moves.length;
  const scanned = page.graph.filter(Boolean).length;
  $('scan-note').textContent = count && scanned < count ? `Vorn reads the game: ${scanned} of ${count} moves` : '';
  if (!count) return;
  const width = 600, height = 120;
  const x = (ply) => (ply - 0.5) * width / count;
  const y = (score) => height / 2 - (height / 2 - 4) * Math.tanh(scoreValue(score) / 400);
  const middle = document.createElementNS(SVG, 'line');
  middle.setAttribute('x1', 0);
  middle.setAttribute('x2', width);
  middle.setAttribute('y1', height / 2);
  middle.setAttribute('y2', height / 2);
  middle.setAttribute('class', 'axis');
  svg.append(middle);
  const points = [];
  page.graph.forEach((score, i) => score && points.push([x(i + 1), y(score), i + 1, score]));
  const path = document.createElementNS(SVG, 'polyline');
  path.setAttribute('points', points.map(([px, py]) => `${px},${py}`).join(' '));
  path.setAttribute('class', 'curve');
  svg.append(path);
  if (page.viewPly > 0) {
    const marker = document.createElementNS(SVG, 'line');
    marker.setAttribute('x1', x(page.viewPly));
    marker.setAttribute('x2', x(page.viewPly));
    marker.setAttribute('y1', 0);
    marker.setAttribute('y2', height);
    marker.setAttribute('class', 'marker');
    svg.append(marker);
  }
  for (const [px, py, ply, score] of points) {
    const dot = document.createElementNS(SVG, 'circle');
    dot.setAttribute('cx', px);
    dot.setAttribute('cy', py);
    dot.setAttribute('r', 3);
    dot.dataset.ply = ply;
    const title = document.createElementNS(SVG, 'title');
    title.textContent = `${page.sans[ply - 1]}: ${scoreText(score)}`;
    dot.append(title);
    svg.append(dot);
  }
}

// A click anywhere on the graph goes to the nearest move.
$('graph').addEventListener('click', (event) => {
  const count = page.moves.length;
  if (!count) return;
  const box = $('graph').getBoundingClientRect();
  const ply = Math.min(count, Math.max(1, Math.floor((event.clientX - box.left) / box.width * count) + 1));
  goTo(ply);
});

function say(text) {
  const message = $('message');
  message.textContent = text;
  clearTimeout(say.timer);
  say.timer = setTimeout(() => (message.textContent = ''), 6000);
}

// ---------------------------------------------------------------------------
// Moving about the game, analysing
// ---------------------------------------------------------------------------

async function goTo(ply) {
  page.viewPly = Math.max(0, Math.min(ply, page.positions.length - 1));
  page.line = [];
  render();
  if (page.state?.analysing) await analyse();
}

async function analyse() {
  // The server numbers each analysis: lines of the one before are dropped.
  page.analysisId += 1;
  page.lines.clear();
  page.tablebase = null;
  renderAnalysis();
  const line = page.line.map((move, i) => {
    const position = page.positions[page.viewPly].clone();
    for (const earlier of page.line.slice(0, i)) position.play(earlier);
    return serverUci(position, move);
  });
  await send({ cmd: 'analyse', ply: page.viewPly, line: line.join(' ') });
}

// ---------------------------------------------------------------------------
// New games, PGN
// ---------------------------------------------------------------------------

// The Chess960 start position of number n (0 to 959): bishops on light and
// dark squares, the queen, the knights, then rook, king, rook.
function chess960Fen(n) {
  const rank = Array(8).fill(null);
  const empties = () => rank.map((piece, i) => (piece ? -1 : i)).filter((i) => i >= 0);
  rank[2 * (n % 4) + 1] = 'b';
  n = Math.floor(n / 4);
  rank[2 * (n % 4)] = 'b';
  n = Math.floor(n / 4);
  rank[empties()[n % 6]] = 'q';
  n = Math.floor(n / 6);
  const knights = [[0, 1], [0, 2], [0, 3], [0, 4], [1, 2], [1, 3], [1, 4], [2, 3], [2, 4], [3, 4]][n];
  const free = empties();
  for (const k of knights) rank[free[k]] = 'n';
  const [a, b, c] = empties();
  rank[a] = 'r';
  rank[b] = 'k';
  rank[c] = 'r';
  const black = rank.join('');
  return `${black}/pppppppp/8/8/8/8/PPPPPPPP/${black.toUpperCase()} w KQkq - 0 1`;
}

async function startGame(event) {
  event.preventDefault();
  let side = $('side').value;
  if (side === 'random') side = Math.random() < 0.5 ? 'white' : 'black';
  const kind = $('start-kind').value;
  const fields = { cmd: 'new', side, clock: $('clock').value.trim(), vornclock: $('vorn-clock').value.trim() };
  if (kind === 'fen') {
    const fen = $('start-fen').value.trim();
    if (!positionFrom(fen)) {
      say('That FEN is not a position that can be played.');
      return;
    }
    fields.fen = fen;
  }
  if (kind === 'chess960') {
    fields.fen = chess960Fen(Math.floor(Math.random() * 960));
    fields.chess960 = '1';
  }
  await applyLevel();
  page.graph = [];
  page.viewPly = 0;
  if (await send(fields)) $('new-game-form').classList.add('hidden');
}

function pgnOfGame() {
  const state = page.state;
  const game = defaultGame();
  const headers = game.headers;
  const now = new Date();
  const player = playerColor();
  headers.set('Event', state.vorn === 'none' ? 'Analysis' : 'Game against Vorn');
  headers.set('Site', location.host);
  headers.set('Date', `${now.getFullYear()}.${String(now.getMonth() + 1).padStart(2, '0')}.${String(now.getDate()).padStart(2, '0')}`);
  headers.set('White', player === 'white' ? 'Player' : state.vorn === 'white' ? page.version : '?');
  headers.set('Black', player === 'black' ? 'Player' : state.vorn === 'black' ? page.version : '?');
  headers.set('Result', state.result === '1/2-1/2' || state.result === '1-0' || state.result === '0-1' ? state.result : '*');
  if (state.chess960) headers.set('Variant', 'Chess960');
  if (state.start !== START_FEN || state.chess960) {
    headers.set('SetUp', '1');
    headers.set('FEN', state.start);
  }
  if (state.clock) headers.set('TimeControl', timeControlOf());
  if (state.reason) headers.set('Termination', state.reason);
  let node = game.moves;
  for (const san of page.sans) {
    const child = new ChildNode({ san });
    node.children.push(child);
    node = child;
  }
  return makePgn(game);
}

// The player's clock in PGN's form: seconds+increment.
function timeControlOf() {
  const form = $('clock').value.trim();
  const match = /^(\d+(?:\.\d+)?|\d+:\d\d)\+(\d+(?:\.\d+)?)$/.exec(form);
  if (!match) return '-';
  const base = match[1].includes(':')
    ? Number(match[1].split(':')[0]) * 60 + Number(match[1].split(':')[1])
    : Number(match[1]) * 60;
  return `${Math.round(base)}+${match[2]}`;
}

function downloadPgn() {
  const blob = new Blob([pgnOfGame()], { type: 'application/x-chess-pgn' });
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = 'vorn-game.pgn';
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

async function loadPgn() {
  const games = parsePgn($('pgn-text').value);
  if (!games.length) {
    say('No game in that text.');
    return;
  }
  const game = games[0];
  const start = startingPosition(game.headers);
  if (start.isErr) {
    say('The game\'s start position cannot be played.');
    return;
  }
  const position = start.value;
  const variant = (game.headers.get('Variant') || '').toLowerCase();
  const chess960 = variant.includes('960') || variant.includes('fischer');
  const ucis = [];
  for (const node of game.moves.mainline()) {
    const move = parseSan(position, node.san);
    if (!move) {
      say(`The move ${node.san} is not legal in the game: it is loaded up to there.`);
      break;
    }
    ucis.push(serverUci(position, move, chess960));
    position.play(move);
  }
  const fields = { cmd: 'load', moves: ucis.join(' ') };
  if (game.headers.get('FEN')) fields.fen = game.headers.get('FEN');
  if (chess960) fields.chess960 = '1';
  page.graph = [];
  page.viewPly = ucis.length;
  page.line = [];
  await send(fields);
}

// ---------------------------------------------------------------------------
// Options from Vorn's option table
// ---------------------------------------------------------------------------

const optionOf = (name) => page.options.find((option) => option.name === name);

// The levels come from the engine's option rows: UCI_LimitStrength with
// UCI_Elo, or Skill Level; without them Vorn plays at full strength only.
function setUpOptions() {
  const level = $('level');
  level.replaceChildren(new Option('Full strength', 'full'));
  const elo = optionOf('UCI_Elo');
  const limit = optionOf('UCI_LimitStrength');
  const skill = optionOf('Skill Level');
  if (elo && limit) {
    const step = 100;
    for (let rating = Math.ceil(elo.min / step) * step; rating < elo.max; rating += step)
      level.append(new Option(`Elo ${rating}`, `elo:${rating}`));
  } else if (skill) {
    for (let value = skill.min; value < skill.max; ++value)
      level.append(new Option(`Skill ${value}`, `skill:${value}`));
  }
  const levels = level.options.length > 1;
  $('level-row').classList.toggle('hidden', !levels);
  $('level-note').textContent = levels ? '' : 'Vorn plays at its full strength.';

  const multipv = $('multipv');
  const lines = optionOf('MultiPV');
  multipv.replaceChildren();
  for (let n = 1; lines && n <= Math.min(lines.max, 5); ++n) multipv.append(new Option(String(n), String(n)));
  multipv.value = lines ? String(Math.min(3, lines.max)) : '1';
  $('multipv').closest('label').classList.toggle('hidden', !lines);
}

async function applyLevel() {
  const choice = $('level').value;
  const limit = optionOf('UCI_LimitStrength');
  const skill = optionOf('Skill Level');
  if (choice === 'full' || !choice) {
    if (limit) await send({ cmd: 'option', name: 'UCI_LimitStrength', value: 'false' });
    if (skill) await send({ cmd: 'option', name: 'Skill Level', value: String(skill.default) });
    return;
  }
  const [kind, value] = choice.split(':');
  if (kind === 'elo') {
    await send({ cmd: 'option', name: 'UCI_LimitStrength', value: 'true' });
    await send({ cmd: 'option', name: 'UCI_Elo', value });
  } else {
    await send({ cmd: 'option', name: 'Skill Level', value });
  }
}

async function setLines() {
  if (!optionOf('MultiPV')) return;
  await send({ cmd: 'option', name: 'MultiPV', value: $('multipv').value });
  page.lines.clear();
  renderAnalysis();
}

// ---------------------------------------------------------------------------
// Controls
// ---------------------------------------------------------------------------

$('new-game').addEventListener('click', () => {
  $('new-game-form').classList.toggle('hidden');
  if ($('start-kind').value === 'fen' && !$('start-fen').value) $('start-fen').value = $('fen').value;
});
$('cancel-new').addEventListener('click', () => $('new-game-form').classList.add('hidden'));
$('start-kind').addEventListener('change', () => {
  const fen = $('start-kind').value === 'fen';
  $('start-fen-row').classList.toggle('hidden', !fen);
  if (fen && !$('start-fen').value) $('start-fen').value = $('fen').value;
});
$('new-game-form').addEventListener('submit', startGame);
$('undo').addEventListener('click', () => send({ cmd: 'undo' }));
$('resign').addEventListener('click', () => {
  if (confirm('Resign this game?')) send({ cmd: 'resign' });
});
$('move-now').addEventListener('click', () => send({ cmd: 'movenow' }));
$('analyse').addEventListener('click', async () => {
  await setLines();
  await analyse();
});
$('back-to-game').addEventListener('click', async () => {
  page.line = [];
  page.viewPly = page.positions.length - 1;
  await send({ cmd: 'play' });
});
$('multipv').addEventListener('change', async () => {
  await setLines();
  await analyse();
});
$('level').addEventListener('change', applyLevel);
$('leave-variation').addEventListener('click', () => goTo(page.viewPly));
$('first').addEventListener('click', () => goTo(0));
$('previous').addEventListener('click', () => goTo(page.line.length ? page.viewPly : page.viewPly - 1));
$('next').addEventListener('click', () => goTo(page.viewPly + 1));
$('last').addEventListener('click', () => goTo(page.positions.length - 1));
document.addEventListener('keydown', (event) => {
  if (event.target instanceof HTMLInputElement || event.target instanceof HTMLTextAreaElement) return;
  if (event.key === 'ArrowLeft') $('previous').click();
  if (event.key === 'ArrowRight') $('next').click();
});
$('copy-fen').addEventListener('click', async () => {
  $('fen').select();
  try {
    await navigator.clipboard.writeText($('fen').value);
    say('The FEN is copied.');
  } catch {
    document.execCommand('copy');
  }
});
$('san').addEventListener('keydown', (event) => {
  if (event.key !== 'Enter') return;
  const text = $('san').value.trim();
  const position = shownPosition();
  const move = parseSan(position, text);
  if (!move) {
    say(`${text} is not a legal move here.`);
    return;
  }
  $('san').value = '';
  playMove(move);
});
for (const button of $('promotion').querySelectorAll('button')) {
  button.addEventListener('click', () => {
    const move = page.pendingPromotion;
    $('promotion').classList.add('hidden');
    page.pendingPromotion = null;
    if (move) playMove({ ...move, promotion: button.dataset.role });
  });
}
$('pgn-download').addEventListener('click', downloadPgn);
$('pgn-load').addEventListener('click', loadPgn);
$('stop-server').addEventListener('click', async () => {
  if (!confirm('Stop the server? Every page\'s game ends.')) return;
  await fetch('/api/stop', { method: 'POST', headers: { 'X-Vorn-Game': page.game } });
});

setInterval(renderClocks, 100);
connect();
