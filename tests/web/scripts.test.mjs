// The headless scripts run in the page through window.scrawlet.run, each
// against a fresh page set up with the script's own set-up commands, and
// compared with what the native program prints for the same script: the
// same exit status, the same dumps (except the hashes of pictures, which
// the browser draws with its own fonts and decodes with its own decoders),
// and snapshots that differ from the native ones only as much as two
// renderers and two text engines do.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, mkdirSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { PNG } from './png.mjs';
import { launched, openPage, root, startBrowser } from './chromium.mjs';

const native = join(root, process.env.NATIVE_BUILD_DIR ?? 'build', 'scrawlet');

// The scripts, with the documents folder each gets (a fresh one, so that
// nothing is written to the user's own or left behind).
const scripts = [
  'examples/room.scr', 'examples/photo.scr', 'examples/save-load.scr',
  ...readdirSync(join(root, 'tests/scripts')).filter((name) => name.endsWith('.scr')).sort()
    .map((name) => `tests/scripts/${name}`),
];

// The native program's defaults, stated for the page (whose own come from
// the browser), and a seed for scripts that give none, so that both pick
// the same emoji.
const defaults = ['view 390 844', 'scale 3', 'seed 1'];

// The snapshots may differ in this share of their pixels by more than a
// quarter of the range in some channel (edges of emoji and text, which the
// two text engines draw a pixel apart), and by this much on average (of
// 255). Measured: under 1 % and 1.3.
const tolerance = { differentShare: 0.015, meanDifference: 2 };

// A script as set-up commands (before `launch`) and the rest, with the
// pictures it reads named by their full paths (the page gets copies at the
// same paths) and the snapshots it writes put in `output`. The examples'
// paths are their own folder's; the kept test scripts', as the native tests
// run them, the source folder's.
function prepare(script, output) {
  const base = script.startsWith('examples/') ? dirname(join(root, script)) : root;
  const inputs = new Set(), pictures = [];
  const lines = readFileSync(join(root, script), 'utf8').split('\n').map((line) => {
    const [command, path, ...more] = line.trim().split(/\s+/);
    if (!path || more.length > 0) return line;
    if (command === 'pick') inputs.add(resolve(base, path));
    if (command === 'pick' || command === 'library') return `${command} ${resolve(base, path)}`;
    if (command !== 'snapshot') return line;
    pictures.push(path);
    return `snapshot ${output}/${path}`;
  });
  const at = lines.findIndex((line) => line.trim().split(/\s+/)[0] === 'launch');
  assert.ok(at >= 0, 'the script launches');
  return { setup: lines.slice(0, at), rest: lines.slice(at + 1), inputs: [...inputs], pictures };
}

// The script's own set-up after the defaults, which it may override, and
// without its documents folder: each side gets a fresh one.
const setupOf = (setup) =>
  [...defaults, ...setup.filter((line) => !/^\s*(#|$)/.test(line) && !/^documents\s/.test(line))];

// Runs the script natively; `saved` comes in as the documents folder's
// drawing and goes out as what is there afterwards.
function runNative(script, saved = null) {
  const folder = mkdtempSync(join(tmpdir(), 'scrawlet-native-'));
  try {
    const { setup, rest, pictures } = script.name ? prepare(script.name, folder) : script;
    const documents = join(folder, 'documents');
    if (saved) {
      mkdirSync(documents);
      writeFileSync(join(documents, 'scrawlet.scn'), saved);
    }
    const text = [...setupOf(setup), `documents ${documents}`, 'launch', ...rest].join('\n');
    let status = 0, output;
    try {
      output = execFileSync(native, ['--headless', '-'], {
        input: text, cwd: folder, encoding: 'utf8', stdio: ['pipe', 'pipe', 'pipe'],
        env: { ...process.env, LANG: 'en_US.UTF-8', LANGUAGE: '', LC_ALL: '', HOME: folder },
      });
    } catch (error) {
      status = error.status;
      output = error.stdout;
    }
    const drawing = join(documents, 'scrawlet.scn');
    return {
      status, lines: output.split('\n').filter((line) => line !== '')
        .map((line) => line.replaceAll(documents, '<documents>')),
      pictures: Object.fromEntries((pictures ?? []).map((file) => [file, readFileSync(join(folder, file))])),
      saved: existsSync(drawing) ? readFileSync(drawing) : null,
    };
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}

async function runInPage(browser, script, saved = null) {
  const { setup, rest, inputs = [], pictures = [] } =
    script.name ? prepare(script.name, '/snapshots') : script;
  const { page, log } = await openPage(browser, {
    setup: [...setupOf(setup), 'documents /tmp/documents'].join('\n'),
  });
  await launched(page, log);
  const files = Object.fromEntries(inputs.map((file) => [file, [...readFileSync(file)]]));
  if (saved) files['/tmp/documents/scrawlet.scn'] = [...saved];
  const answer = await page.evaluate(async ({ files, text, pictures }) => {
    const FS = window.scrawlet.module.FS;
    for (const [path, bytes] of Object.entries(files)) {
      FS.mkdirTree(path.slice(0, path.lastIndexOf('/')));
      FS.writeFile(path, new Uint8Array(bytes));
    }
    FS.mkdirTree('/snapshots');
    const run = await window.scrawlet.run(text);
    run.pictures = Object.fromEntries(pictures.map((file) => [file, Array.from(FS.readFile(`/snapshots/${file}`))]));
    const drawing = '/tmp/documents/scrawlet.scn';
    run.saved = FS.analyzePath(drawing).exists ? Array.from(FS.readFile(drawing)) : null;
    return run;
  }, { files, text: rest.join('\n'), pictures });
  await page.close();
  // Each side has its own documents folder.
  answer.lines = answer.lines.map((line) => line.replaceAll('/tmp/documents', '<documents>'));
  for (const file of Object.keys(answer.pictures)) answer.pictures[file] = Buffer.from(answer.pictures[file]);
  if (answer.saved) answer.saved = Buffer.from(answer.saved);
  return answer;
}

// The dump without what only pixels show: the hashes of pictures.
function withoutPixels(value) {
  if (Array.isArray(value)) return value.map(withoutPixels);
  if (value && typeof value === 'object')
    return Object.fromEntries(Object.entries(value).filter(([key]) => key !== 'pixels')
      .map(([key, inner]) => [key, withoutPixels(inner)]));
  return value;
}

function compare(a, b) {
  const pa = PNG.read(a), pb = PNG.read(b);
  assert.deepEqual([pb.width, pb.height], [pa.width, pa.height], 'the pictures have the same size');
  let different = 0, total = 0;
  for (let y = 0; y < pa.height; ++y)
    for (let x = 0; x < pa.width; ++x) {
      const u = pa.pixel(x, y), v = pb.pixel(x, y);
      const d = [0, 1, 2].map((i) => Math.abs(u[i] - v[i]));
      total += (d[0] + d[1] + d[2]) / 3;
      if (Math.max(...d) > 64) ++different;
    }
  const n = pa.width * pa.height;
  return { differentShare: different / n, meanDifference: total / n };
}

let browser;
before(async () => {
  if (!existsSync(native)) throw new Error(`${native} is missing: run scripts/build first`);
  browser = await startBrowser();
});
after(async () => { await browser?.close(); });

for (const script of scripts) {
  test(`${script} runs in the page as it runs natively`, async (t) => {
    const expected = runNative({ name: script });
    const actual = await runInPage(browser, { name: script });
    assert.equal(actual.status, expected.status, actual.errors.join('\n'));
    assert.equal(actual.lines.length, expected.lines.length, 'as many dumps');
    expected.lines.forEach((line, i) =>
      assert.deepEqual(withoutPixels(JSON.parse(actual.lines[i])), withoutPixels(JSON.parse(line)),
                       `dump ${i + 1}`));
    for (const [file, picture] of Object.entries(expected.pictures)) {
      // SCRAWLET_WEB_PICTURES=DIR keeps both pictures there, to look at.
      if (process.env.SCRAWLET_WEB_PICTURES) {
        writeFileSync(join(process.env.SCRAWLET_WEB_PICTURES, `native-${file}`), picture);
        writeFileSync(join(process.env.SCRAWLET_WEB_PICTURES, `web-${file}`), actual.pictures[file]);
      }
      const difference = compare(picture, actual.pictures[file]);
      t.diagnostic(`${file}: ${(difference.differentShare * 100).toFixed(2)} % of pixels differ, ` +
                   `by ${difference.meanDifference.toFixed(2)} on average`);
      assert.ok(difference.differentShare <= tolerance.differentShare &&
                difference.meanDifference <= tolerance.meanDifference,
                `${file} differs from the native snapshot: ${JSON.stringify(difference)}`);
    }
  });
}

test('a drawing is saved as the same bytes in the page as natively', async () => {
  // A drawing with emoji and a photo, saved natively; then loaded and saved
  // again on both sides, whose pictures are then the same pixels.
  const photo = prepare('examples/photo.scr', '.');
  const made = runNative({
    setup: photo.setup,
    rest: [...photo.rest.filter((line) => !line.startsWith('snapshot')),
           'down 30 820', 'up', 'choose "Save Scrawlet"'],
  });
  assert.ok(made.saved, 'the native program saved the drawing');
  const again = ['down 30 820', 'up', 'choose "Load Scrawlet"', 'down 30 820', 'up',
                 'choose "Save Scrawlet"'];
  const native = runNative({ setup: [], rest: again }, made.saved);
  const page = await runInPage(browser, { setup: [], rest: again }, made.saved);
  assert.equal(page.status, 0, page.errors.join('\n'));
  assert.ok(native.saved.length > 1000);
  assert.ok(page.saved.equals(native.saved),
            `${page.saved.length} bytes in the page, ${native.saved.length} natively`);
});
