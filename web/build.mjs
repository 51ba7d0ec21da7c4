// Bundles the page that "vorn --web" serves: web/src/main.js with the
// packages it imports (chessground, chessops) and their styles, into
// OUT/page.js and OUT/page.css, beside a copy of web/src/index.html.
// Usage: node web/build.mjs OUT
import { build } from 'esbuild';
import { copyFileSync, mkdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const out = process.argv[2];
if (!out) {
  console.error('usage: node build.mjs OUTPUT-FOLDER');
  process.exit(2);
}
const source = join(dirname(fileURLToPath(import.meta.url)), 'src');
mkdirSync(out, { recursive: true });
await build({
  entryPoints: { page: join(source, 'main.js') },
  bundle: true,
  minify: true,
  format: 'esm',
  target: 'es2020',
  outdir: out,
  logLevel: 'warning',
});
copyFileSync(join(source, 'index.html'), join(out, 'index.html'));
