// The page on an emulated AR phone (IWER in a captured room): the "Enter
// AR" button is offered, an immersive-ar session starts, every XR frame
// reaches the program with the viewer's pose and projection and draws the
// emoji over the camera's picture, and ending the session returns to the
// simulated room.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launched, openPage, startBrowser, viewport } from './chromium.mjs';
import { PNG } from './png.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

// The XR frames seen once at least `count` more have arrived.
async function framesAfter(page, count) {
  const seen = await page.evaluate(() => window.scrawlet.stats.xr.framesSeen);
  await page.waitForFunction((until) => window.scrawlet.stats.xr.framesSeen >= until,
                             seen + count, { timeout: 20000 });
  return page.evaluate(() => window.scrawlet.stats.xr.frames);
}

const near = (actual, expected, what) =>
  actual.forEach((value, i) => assert.ok(Math.abs(value - expected[i]) < 1e-4,
                                         `${what}[${i}] is ${value}, expected ${expected[i]}`));

test('entering AR on the emulated phone draws XR frames until the session ends', async (t) => {
  const { page, log } = await openPage(browser, { phone: true });
  const inline = await launched(page, log);
  await page.waitForSelector('#enter-ar', { state: 'visible' });
  await page.click('#enter-ar');
  await page.waitForFunction(() => window.scrawlet.stats.xr.state === 'running', null,
                             { timeout: 20000 }).catch(() => { throw new Error(log.join('\n')); });

  let frames = await framesAfter(page, 5);
  const last = frames.at(-1);
  // The local space starts where the phone starts, looking along −z.
  near(last.cameraToWorld, [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1], 'the first pose');
  // A perspective projection of its own, not the simulated room's.
  const p = last.projection;
  assert.ok(p[0] > 0 && p[5] > 0 && p[11] === -1 && p[15] === 0, `a perspective: ${p}`);
  assert.equal(last.planes, 5, 'every emoji is drawn in AR');
  assert.ok(last.viewport[2] > 0 && last.viewport[3] > 0);
  t.diagnostic(`XR framebuffer: ${last.framebuffer}, viewport ${last.viewport.join(' × ')}`);

  // Each emoji is drawn where the frame's projection puts it, in colour over
  // the captured room's grey.
  const picture = PNG.read(await page.screenshot({ path: process.env.SCRAWLET_WEB_PICTURES
    ? `${process.env.SCRAWLET_WEB_PICTURES}/ar.png` : undefined }));
  for (let i = 0; i < 5; ++i) {
    const [x, y, z] = [-0.24 + 0.12 * i, 0.05 * (i % 2), -1.2];
    const w = p[3] * x + p[7] * y + p[11] * z + p[15];
    const sx = ((p[0] * x + p[4] * y + p[8] * z + p[12]) / w + 1) / 2 * viewport.width;
    const sy = (1 - (p[1] * x + p[5] * y + p[9] * z + p[13]) / w) / 2 * viewport.height;
    let coloured = 0;
    for (let v = Math.round(sy) - 10; v < sy + 10; ++v)
      for (let u = Math.round(sx) - 10; u < sx + 10; ++u) {
        const [r, g, b] = picture.pixel(u, v);
        if (Math.max(r, g, b) - Math.min(r, g, b) > 60) ++coloured;
      }
    assert.ok(coloured > 20, `emoji ${i} is drawn at ${Math.round(sx)}, ${Math.round(sy)}`);
  }

  // The phone moves 20 cm to the right and turns left: the frames follow.
  await page.evaluate(() => {
    window.emulatedPhone.position.x += 0.2;
    window.emulatedPhone.quaternion.set(0, Math.sin(Math.PI / 8), 0, Math.cos(Math.PI / 8));
  });
  frames = await framesAfter(page, 3);
  const moved = frames.at(-1).cameraToWorld;
  near(moved.slice(12, 15), [0.2, 0, 0], 'the moved position');
  near([moved[0], moved[2], moved[8], moved[10]],
       [Math.cos(Math.PI / 4), -Math.sin(Math.PI / 4), Math.sin(Math.PI / 4), Math.cos(Math.PI / 4)],
       'the turned axes');

  // Ending the session brings the simulated room back, drawn frame by frame.
  await page.evaluate(() => window.scrawlet.endXr());
  await page.waitForFunction(() => window.scrawlet.stats.xr.state === 'offered');
  const before = await page.evaluate(() => window.scrawlet.stats.frames);
  await page.waitForFunction((n) => window.scrawlet.stats.frames > n + 2, before);
  assert.equal(await page.evaluate(() => window.scrawlet.stats.planes), inline.planes);
  assert.equal(await page.isVisible('#enter-ar'), true, 'AR can be entered again');
  await page.close();
});
