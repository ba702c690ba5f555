// The page in a browser without augmented reality: it launches, draws the
// simulated room with the emoji hanging in it, says why there is no "Enter
// AR" button, keeps the drawing across a reload, and says clearly when the
// browser has no WebGL 2.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { gzipSync } from 'node:zlib';
import { join } from 'node:path';
import { PNG } from './png.mjs';
import { buildDir, launched, openPage, startBrowser, viewport } from './chromium.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

// How far a pixel's colour is from grey: the room is drawn in muted
// colours, emoji in strong ones.
const saturation = ([r, g, b]) => (Math.max(r, g, b) - Math.min(r, g, b)) / 255;

// Where a point 1.2 m ahead of the starting camera appears, in page pixels:
// the room's camera has a 60° vertical field of view.
function projected(x, y) {
  const f = 1 / Math.tan(Math.PI / 6) / 1.2;
  const aspect = viewport.width / viewport.height;
  return [(1 + (x * f) / aspect) * viewport.width / 2, (1 - y * f) * viewport.height / 2];
}

test('the page launches and draws the room with the emoji in it', async (t) => {
  const { page, log } = await openPage(browser);
  const stats = await launched(page, log);
  assert.equal(stats.planes, 5, 'every emoji is drawn');
  assert.equal(await page.isHidden('#enter-ar'), true, 'no AR without a device');
  assert.match(await page.textContent('#note'), /simulated room/);

  const picture = PNG.read(await page.screenshot());
  const strong = (cx, cy, half) => {
    let count = 0;
    for (let y = cy - half; y < cy + half; ++y)
      for (let x = cx - half; x < cx + half; ++x)
        if (saturation(picture.pixel(Math.round(x), Math.round(y))) > 0.3) ++count;
    return count;
  };
  // Each emoji hangs where the camera projects it, in strong colours…
  for (let i = 0; i < 5; ++i) {
    const [x, y] = projected(-0.24 + 0.12 * i, 0.05 * (i % 2));
    assert.ok(strong(x, y, 14) > 50, `emoji ${i} is drawn at ${Math.round(x)}, ${Math.round(y)}`);
  }
  // …over the room, which fills the page and shows no such colours above them.
  assert.equal(strong(viewport.width / 2, 120, 40), 0, 'the wall above is plain');
  const wall = picture.pixel(viewport.width / 2, 120), floor = picture.pixel(60, 700);
  assert.ok(wall.slice(0, 3).some((c) => c > 60), 'the wall is lit, not cleared to black');
  assert.notDeepEqual(wall, floor, 'wall and floor differ');

  const wasm = readFileSync(join(buildDir, 'scrawlet.wasm'));
  t.diagnostic(`scrawlet.wasm: ${wasm.length} bytes, ${gzipSync(wasm, { level: 9 }).length} gzipped`);
  t.diagnostic(`first frame ${Math.round(stats.firstFrameMs)} ms after the page started loading`);
  await page.close();
});

test('the drawing is kept in the browser across a reload', async () => {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  const size = await page.evaluate(async () => {
    const module = window.scrawlet.module ?? await new Promise((resolve) => {
      const wait = () => window.scrawlet.module ? resolve(window.scrawlet.module) : setTimeout(wait, 10);
      wait();
    });
    const written = module._scrawlet_save_drawing();
    await module.storagePersisted();
    return written;
  });
  assert.ok(size > 0, 'the drawing was written');

  await page.reload();
  await launched(page, log);
  const kept = await page.evaluate(async () => {
    while (!window.scrawlet.module) await new Promise((resolve) => setTimeout(resolve, 10));
    const module = window.scrawlet.module;
    const bytes = module.FS.readFile('/home/web_user/Documents/scrawlet.scn');
    return { size: bytes.length, magic: String.fromCharCode(...bytes.slice(0, 4)),
             emoji: module._scrawlet_load_drawing() };
  });
  assert.deepEqual(kept, { size, magic: 'glTF', emoji: 5 });
  await page.close();
});

test('a browser without WebGL 2 is told so', async () => {
  const { page } = await openPage(browser, {
    before: () => {
      const getContext = HTMLCanvasElement.prototype.getContext;
      HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
        return kind === 'webgl2' ? null : getContext.call(this, kind, ...rest);
      };
    },
  });
  await assert.rejects(page.evaluate(() => window.scrawlet.ready), /WebGL 2/);
  assert.match(await page.textContent('#message'), /no WebGL 2/);
  assert.equal(await page.isVisible('#message'), true);
  await page.close();
});
