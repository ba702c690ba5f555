// What the tests in the other engines share: a display of their own (Xvfb,
// on the first free number, which it tells), the built page served on a
// free port, and the steps that a person takes in every engine, driven by a
// small `driver` each engine's test gives: run a function in the page,
// click or drag at page points, reload, take a screenshot.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { serve } from '../../scripts/web-serve.mjs';
import { buildDir } from './chromium.mjs';

// Starts Xvfb; resolves to {display, env, stop()}: `env` is the
// environment for a browser on that display, with a runtime folder of its
// own (where the browser's sound client would otherwise leave a pulse-*
// folder in the temporary folder), removed by stop().
export function startDisplay() {
  const runtime = mkdtempSync(join(tmpdir(), 'scrawlet-runtime-'));
  const removeRuntime = () => rmSync(runtime, { recursive: true, force: true });
  return new Promise((resolve, reject) => {
    const server = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'], {
      stdio: ['ignore', 'ignore', 'pipe', 'pipe'],
    });
    let number = '', errors = '';
    server.stderr.on('data', (chunk) => { errors += chunk; });
    server.stdio[3].on('data', (chunk) => {
      number += chunk;
      if (!number.includes('\n')) return;
      const display = `:${number.trim()}`;
      resolve({
        display,
        env: { ...process.env, DISPLAY: display, XDG_RUNTIME_DIR: runtime },
        stop: () => new Promise((done) => {
          if (server.exitCode !== null) return done();
          server.once('exit', () => done());
          server.kill();
        }).then(removeRuntime),
      });
    });
    server.once('error', (error) => { removeRuntime(); reject(error); });
    server.once('exit', (code) => { removeRuntime(); reject(new Error(`Xvfb stopped (${code}): ${errors}`)); });
  });
}

export async function servePage() {
  if (!existsSync(join(buildDir, 'index.html')))
    throw new Error(`${buildDir}/index.html is missing: run scripts/web-build first`);
  const server = await serve(buildDir, 0);
  return { url: `http://127.0.0.1:${server.address().port}/`, close: () => new Promise((done) => server.close(done)) };
}

// Polls `check` (a function of the page's answer to `script`) until it holds.
// The page's own time decides nothing here: the engines are only asked
// again, until a generous limit.
export async function until(driver, script, check, what) {
  let last;
  for (const limit = Date.now() + 30000; Date.now() < limit;) {
    last = await driver.evaluate(script);
    if (check(last)) return last;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  assert.fail(`${what}: never came; last ${JSON.stringify(last)}`);
}

export const ready = (driver) =>
  until(driver, () => window.scrawlet && window.scrawlet.stats.firstFrameMs !== null, (done) => done === true,
        'the page launched and drew without being given focus');

export const dump = async (driver) => {
  const run = await driver.evaluate(() => window.scrawlet.run('dump'));
  assert.equal(run.status, 0, run.errors.join('\n'));
  return JSON.parse(run.lines[0]);
};

const positions = (state) => state.scene.rootNode.children.flatMap(function all(node) {
  return node.geometry ? [node.position] : node.children.flatMap(all);
});

// Taps the presented screen's target titled `name`.
async function tapTarget(driver, name) {
  const shown = await until(driver, () => window.scrawlet.module.presented(), (s) => s && s.targets.some((t) => t.title === name),
                            `"${name}" shown`);
  const [x, y, w, h] = shown.targets.find((t) => t.title === name).rect;
  await driver.click(Math.round(x + w / 2), Math.round(y + h / 2));
}

// A stroke drawn with the pointer, saved from the menu, the page reloaded
// and the drawing loaded back: every sprite where it was.
export async function drawSaveReloadLoad(driver) {
  await ready(driver);
  const size = await driver.evaluate(() => [innerWidth, innerHeight]);
  const from = [Math.round(size[0] * 0.3), Math.round(size[1] * 0.4)];
  await driver.drag([from, [from[0] + 40, from[1] + 10], [from[0] + 80, from[1] + 30], [from[0] + 120, from[1] + 40]]);
  const drawn = await until(driver, () => JSON.parse(window.scrawlet.module.runScript('dump').lines[0]),
                            (s) => s.lines.length === 1 && !s.draw, 'the stroke');
  assert.ok(positions(drawn).length >= 2, `a stroke of sprites: ${positions(drawn).length}`);
  await driver.click(30, size[1] - 24);
  await tapTarget(driver, 'Save Scrawlet');
  await until(driver, () => JSON.parse(window.scrawlet.module.runScript('dump').lines[0]).hud.nodes
    .find((n) => n.field === 'textLabel').text, (text) => text === 'Scrawlet saved.', 'saved');
  await driver.evaluate(() => window.scrawlet.module.storagePersisted());

  await driver.reload();
  await ready(driver);
  await driver.click(30, size[1] - 24);
  await tapTarget(driver, 'Load Scrawlet');
  const loaded = await until(driver, () => JSON.parse(window.scrawlet.module.runScript('dump').lines[0]),
                             (s) => s.lines.length === 1, 'the loaded drawing');
  assert.deepEqual(positions(loaded), positions(drawn), 'every sprite where it was');
  return drawn;
}

// "Use Camera" with the engine's mock camera: the video plays under the
// transparent canvas and the session's frames are the camera's. Resolves
// to the page's camera statistics once the sensor has said what it has.
export async function startCamera(driver) {
  await until(driver, () => !document.getElementById('enter-ar').hidden && window.scrawlet.stats.offered,
              (offered) => offered === 'camera', '"Use Camera" offered');
  assert.equal(await driver.evaluate(() => document.getElementById('enter-ar').textContent), 'Use Camera');
  await driver.clickElement('#enter-ar');
  const camera = await until(driver, () => window.scrawlet.stats.camera,
                             (c) => c.state === 'running' && c.sensor !== null, 'the camera running');
  const state = await dump(driver);
  assert.equal(state.session.mode, 'camera');
  // The video has pictures: some of its pixels are not black.
  const lit = await driver.evaluate(() => {
    const video = document.getElementById('camera');
    const canvas = document.createElement('canvas');
    canvas.width = 64;
    canvas.height = 48;
    const context = canvas.getContext('2d');
    context.drawImage(video, 0, 0, 64, 48);
    const data = context.getImageData(0, 0, 64, 48).data;
    let count = 0;
    for (let i = 0; i < data.length; i += 4) if (data[i] + data[i + 1] + data[i + 2] > 60) ++count;
    return { count, width: video.videoWidth, hidden: video.hidden };
  });
  assert.ok(lit.width > 0 && !lit.hidden && lit.count > 100, `the camera's picture shows: ${JSON.stringify(lit)}`);
  return camera;
}

// The tests every engine passes, given its driver, a way to open the page,
// and a way to keep a screenshot under a name.
export function testsIn(engine, { driver, open, keepScreenshot }) {
  const name = engine.toLowerCase();
  test(`${engine}: the page comes up by itself; a stroke is drawn, saved, reloaded and loaded`, async () => {
    await open();
    await ready(driver);
    await drawSaveReloadLoad(driver);
    await keepScreenshot(`${name}-room.png`);
  });

  test(`${engine}: "Use Camera" starts with the engine's own camera; without orientation events the view stays fixed and says so`, async () => {
    await open();
    await ready(driver);
    const camera = await startCamera(driver);
    assert.equal(camera.sensor, 'missing');
    assert.match(await driver.evaluate(() => document.getElementById('note').textContent), /cannot turn the view/);
    const start = (await dump(driver)).session.cameraTransform;
    const size = await driver.evaluate(() => [innerWidth, innerHeight]);
    await driver.click(Math.round(size[0] / 2), Math.round(size[1] / 2));
    const state = await dump(driver);
    assert.deepEqual(state.session.cameraTransform, start, 'the view has not moved');
    assert.equal(state.lines.length, 1, 'a tap draws over the camera');
    await keepScreenshot(`${name}-camera.png`);
  });
}
