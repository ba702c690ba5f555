// What the browser tests share: the built page served on a free port, and
// Debian's Chromium run headless by playwright-core with a fresh profile
// (removed afterwards), WebGL 2 on SwiftShader, nothing fetched from the
// network. Optionally the page gets an emulated AR phone: IWER with the
// synthetic environment module and a captured room from the npm package.
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { serve } from '../../scripts/web-serve.mjs';
import { PNG } from './png.mjs';
import { writeRoomVideo } from './room.y4m.mjs';

const here = dirname(fileURLToPath(import.meta.url));
export const root = join(here, '..', '..');
export const buildDir = process.env.BUILD_DIR ? join(root, process.env.BUILD_DIR) : join(root, 'build-web');

const chromiumPaths = ['/usr/lib/chromium/chromium', '/usr/bin/chromium'];
const flags = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
];

// A phone-sized view, as the app is laid out for.
export const viewport = { width: 390, height: 844 };

// Starts the server and the browser; `close()` stops both and removes the
// profile. `scale` is the pages' device pixels per CSS pixel; `args` are
// more of Chromium's flags; `locale` is the language the browser prefers;
// `serviceWorkers: 'block'` keeps the page's service worker out, so that
// what a test routes is what the page gets.
export async function startBrowser({ scale = 1, args = [], locale = 'en-US', serviceWorkers = 'allow' } = {}) {
  if (!existsSync(join(buildDir, 'index.html')))
    throw new Error(`${buildDir}/index.html is missing: run scripts/web-build first`);
  const executablePath = chromiumPaths.find((path) => existsSync(path));
  if (!executablePath) throw new Error('Chromium is missing (scripts/setup installs it)');
  const server = await serve(buildDir, 0);
  const profile = mkdtempSync(join(tmpdir(), 'scrawlet-chromium-'));
  // A runtime folder inside the profile, where Chromium's sound client would
  // otherwise leave a pulse-* folder in the temporary folder.
  const runtime = join(profile, 'runtime');
  mkdirSync(runtime, { mode: 0o700 });
  const context = await chromium.launchPersistentContext(profile, {
    env: { ...process.env, XDG_RUNTIME_DIR: runtime },
    executablePath, headless: true, args: [...flags, ...args], viewport, ignoreDefaultArgs: ['--headless=new'],
    locale, acceptDownloads: true, deviceScaleFactor: scale, serviceWorkers,
  });
  const url = `http://127.0.0.1:${server.address().port}/`;
  return {
    context, url,
    async close() {
      await context.close();
      await new Promise((resolve) => server.close(resolve));
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A browser whose fake camera films the room of room.y4m.mjs, without
// asking; `close()` also removes the video.
export async function startCameraBrowser() {
  const folder = mkdtempSync(join(tmpdir(), 'scrawlet-camera-'));
  try {
    writeRoomVideo(join(folder, 'room.y4m'));
    const browser = await startBrowser({
      args: ['--use-fake-device-for-media-stream', '--use-fake-ui-for-media-stream',
             `--use-file-for-fake-video-capture=${join(folder, 'room.y4m')}`],
    });
    return { ...browser, close: () => browser.close().finally(() => rmSync(folder, { recursive: true, force: true })) };
  } catch (error) {
    rmSync(folder, { recursive: true, force: true });
    throw error;
  }
}

// A new tab on the page, with what it logs kept for failure messages.
// `phone` installs the emulated AR phone before the page's scripts run;
// `before` is a script run before them too; `setup` is set-up commands of
// the automation language that describe the device before launch.
// `touch` makes the tab a touch screen's, as a phone's is, before the page
// looks at what it is on.
export async function openPage(browser, { phone = false, before = null, setup = null, touch = false } = {}) {
  const page = await browser.context.newPage();
  if (touch) {
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
  }
  const log = [];
  page.on('console', (message) => log.push(`${message.type()}: ${message.text()}`));
  page.on('pageerror', (error) => log.push(`pageerror: ${error.message}`));
  if (phone) await installPhone(page);
  if (before) await page.addInitScript(before);
  await page.goto(setup === null ? browser.url : `${browser.url}?setup=${encodeURIComponent(setup)}`);
  return { page, log };
}

const modules = join(here, 'node_modules');

// IWER's emulated device, phone-like: one view (no stereo, no eye
// separation), standing where IWER puts it (1.6 m up) in a captured living
// room; its local space starts where the device starts.
async function installPhone(page) {
  const room = readFileSync(join(modules, '@iwer/sem/captures/living_room.json'), 'utf8');
  await page.addInitScript({ path: join(modules, 'iwer/build/iwer.min.js') });
  await page.addInitScript({ path: join(modules, '@iwer/sem/build/iwer-sem.min.js') });
  await page.addInitScript(`
    (() => {
      const device = new IWER.XRDevice(IWER.metaQuest3, {
        ipd: 0, stereoEnabled: false,
      });
      device.installRuntime({ forceInstall: true });
      device.installSEM(IWER_SEM.SyntheticEnvironmentModule);
      device.sem.loadEnvironment(${room});
      window.emulatedPhone = device;
    })();`);
}

// The page's stats once it has launched, or the reason it did not.
export async function launched(page, log) {
  try {
    await page.evaluate(() => window.scrawlet.ready);
  } catch (error) {
    throw new Error(`the page did not launch: ${error.message}\n${log.join('\n')}`);
  }
  return page.evaluate(() => window.scrawlet.stats);
}

// The app's state, as a script's `dump` gives it.
export async function dump(page) {
  const run = await page.evaluate(() => window.scrawlet.run('dump'));
  assert.equal(run.status, 0, run.errors.join('\n'));
  return JSON.parse(run.lines[0]);
}

// The screen presented on top, as the user sees it (the dump shows the one
// presented over the drawing, not an alert shown over that).
export const presented = (page) => page.evaluate(() => window.scrawlet.presented());

// Waits until the app's state passes `check` (a function of the dump that
// returns true), or fails naming what it last saw.
export async function dumpWhen(page, check, what) {
  let state;
  for (const until = Date.now() + 15000; Date.now() < until;) {
    state = await dump(page);
    if (check(state)) return state;
    await page.waitForTimeout(50);
  }
  assert.fail(`${what}: never came; last presented ${JSON.stringify(state?.presented)}`);
}

// Taps, as a user would, the target of the presented screen whose title
// (or role) is `name`.
export async function tapTarget(page, name) {
  const targets = (await page.evaluate(() => window.scrawlet.presented()))?.targets ?? [];
  const target = targets.find((t) => t.title === name) ?? targets.find((t) => t.role === name);
  assert.ok(target, `"${name}" is shown: ${JSON.stringify(targets)}`);
  const [x, y, w, h] = target.rect;
  await page.mouse.click(x + w / 2, y + h / 2);
}

// The round buttons along the bottom edge, and a tap on one.
export const buttons = { menu: [30, 820], undo: [300, 820], clear: [360, 820] };
export const tap = (page, [x, y]) => page.mouse.click(x, y);

// A mouse drag through `points`, in a few steps between each, the events
// stamped `apartMs` apart in the input's own time (as a person's hand
// moves, whatever the test's own pace).
export async function drag(page, points, { steps = 4, apartMs = 20 } = {}) {
  const cdp = await page.context().newCDPSession(page);
  let time = Date.now() / 1000;
  const send = (type, [x, y], buttons) => {
    time += apartMs / 1000;
    return cdp.send('Input.dispatchMouseEvent', {
      type, x, y, button: 'left', buttons, clickCount: 1, timestamp: time,
    });
  };
  await send('mouseMoved', points[0], 0);
  await send('mousePressed', points[0], 1);
  let at = points[0];
  for (const point of points.slice(1)) {
    for (let i = 1; i <= steps; ++i)
      await send('mouseMoved', [0, 1].map((k) => at[k] + ((point[k] - at[k]) * i) / steps), 1);
    at = point;
  }
  await send('mouseReleased', at, 0);
  await cdp.detach();
}

// "Share as Picture…" from the menu, answered by a download where the
// browser cannot share files: the picture's file name and its pixels.
export async function sharedPicture(page) {
  await tap(page, buttons.menu);
  const download = page.waitForEvent('download');
  await tapTarget(page, 'Share as Picture…');
  const file = await download;
  const picture = PNG.read(readFileSync(await file.path()));
  await file.delete();
  return { name: file.suggestedFilename(), picture };
}

// The file choosers the page opens, in order. Listening all along keeps
// Playwright intercepting them: a listener added just before a tap races
// with the chooser, which headless Chromium then cancels at once.
export function fileChoosers(page) {
  const waiting = [], opened = [];
  page.on('filechooser', (chooser) => (waiting.length ? waiting.shift()(chooser) : opened.push(chooser)));
  return {
    next: () => (opened.length ? Promise.resolve(opened.shift())
                               : new Promise((resolve) => waiting.push(resolve))),
  };
}

// A finger dragged through `points` on a touch screen (pointer events of
// the touch kind, as a phone's browser sends them), `apartMs` apart in the
// input's own time.
export async function touchDrag(page, points, { apartMs = 20 } = {}) {
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
  let time = Date.now() / 1000;
  const send = (type, touchPoints) => {
    time += apartMs / 1000;
    return cdp.send('Input.dispatchTouchEvent', { type, touchPoints, timestamp: time });
  };
  const at = ([x, y]) => [{ x, y, id: 1 }];
  await send('touchStart', at(points[0]));
  for (const point of points.slice(1)) await send('touchMove', at(point));
  await send('touchEnd', []);
  await cdp.detach();
}
