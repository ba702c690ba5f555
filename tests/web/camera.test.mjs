// The page on a phone whose browser offers no WebXR but has a camera and an
// orientation sensor, as an iPhone's does: Chromium's fake camera films a
// room from a y4m video, the DevTools protocol holds the phone, and the
// iOS permission prompts are stubbed. "Use Camera" shows the camera's
// picture under the drawing; the phone's turns turn the view, and strokes
// stay put in the room; a missing sensor leaves the view fixed; refusals
// say what is missing; the shared picture shows the room.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { PNG, changedAround } from './png.mjs';
import { roomColour, roomSize } from './room.y4m.mjs';
import {
  buttons, dump, dumpWhen, launched, openPage, sharedPicture, startCameraBrowser, viewport,
} from './chromium.mjs';

let browser;
before(async () => { browser = await startCameraBrowser(); });
after(async () => { await browser?.close(); });

// No WebXR, and iOS's permission prompts: each answers as `window.answers`
// says ('granted', 'denied', or 'dismissed' for a prompt that went away
// unanswered), and is recorded with whether a tap was being handled.
const iPhone = () => {
  delete Navigator.prototype.xr;
  window.asked = [];
  window.answers = {};
  for (const [name, kind] of [['orientation', window.DeviceOrientationEvent], ['motion', window.DeviceMotionEvent]]) {
    kind.requestPermission = () => {
      window.asked.push({ name, inTap: navigator.userActivation.isActive });
      const answer = window.answers[name] ?? 'granted';
      return answer === 'dismissed' ? Promise.reject(new DOMException('no answer', 'NotAllowedError'))
                                    : Promise.resolve(answer);
    };
  }
};

// Holds the phone: the sensor's angles in degrees. (The override lasts as
// long as the DevTools session that set it: one is kept for each page.)
const sessions = new WeakMap();
async function hold(page, alpha, beta, gamma) {
  if (!sessions.has(page)) sessions.set(page, await page.context().newCDPSession(page));
  await sessions.get(page).send('DeviceOrientation.setDeviceOrientationOverride', { alpha, beta, gamma });
}

// The emoji are picked by a fixed seed: the first, a blue dolphin, stands
// out from the captured room's green wall and brown floor, where a random
// one of the same colours as the room would fail the checks that it shows.
async function openPhone() {
  const { page, log } = await openPage(browser, { before: iPhone, setup: 'seed 5' });
  await launched(page, log);
  await page.waitForSelector('#enter-ar', { state: 'visible' });
  return { page, log };
}

async function useCamera(page, log) {
  await page.click('#enter-ar');
  await page.waitForFunction(() => window.scrawlet.stats.camera.state === 'running', null, { timeout: 20000 })
    .catch(async () => { throw new Error(`${await page.textContent('#note')}\n${log.join('\n')}`); });
}

const screenshot = async (page, name) => PNG.read(await page.screenshot({
  path: process.env.SCRAWLET_WEB_PICTURES && name ? `${process.env.SCRAWLET_WEB_PICTURES}/${name}` : undefined,
}));

// The room's colour where the page shows (x, y): the video covers the page
// and is cropped at the centre. `top` is where the picture's top edge lies
// on the page (0 for the screen; a shared picture starts 30 points down).
function roomAt([x, y], top = 0) {
  const cover = Math.max(viewport.width / roomSize.width, viewport.height / roomSize.height);
  const left = (viewport.width - roomSize.width * cover) / 2, above = (viewport.height - roomSize.height * cover) / 2;
  return roomColour(Math.floor((x - left) / cover), Math.floor((y + top - above) / cover));
}

const near = (actual, expected, tolerance, what) =>
  assert.ok(expected.every((value, i) => Math.abs(actual[i] - value) <= tolerance),
            `${what}: ${actual.slice(0, 3)} is not near ${expected}`);

// Points where the room shows (below the note, above the buttons): the
// window, the picture, the wall and the floor.
const roomPoints = [[30, 300], [370, 330], [195, 470], [195, 700]];

const close = (actual, expected, tolerance, what) =>
  actual.forEach((value, i) => assert.ok(Math.abs(value - expected[i]) <= tolerance,
                                         `${what}: ${actual} is not ${expected}`));
// Once the page has had a few animation frames (where the camera would
// have turned).
const animationFrames = (page) => page.evaluate(() => new Promise((resolve) => {
  let count = 0;
  const next = () => (++count === 3 ? resolve() : requestAnimationFrame(next));
  requestAnimationFrame(next);
}));
const identity = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1];
const sprites = (state) => state.scene.rootNode.children;

test('"Use Camera" shows the room under the drawing, and a touch hangs 1.234 m along the camera\'s forward axis', async () => {
  const { page, log } = await openPhone();
  assert.equal(await page.textContent('#enter-ar'), 'Use Camera');
  assert.equal((await dump(page)).session.mode, 'room');
  await hold(page, 0, 90, 0);
  await useCamera(page, log);
  await page.waitForFunction(() => window.scrawlet.stats.camera.sensor === 'present');
  assert.match(await page.textContent('#note'), /Turn the phone.*Walking does not move/);
  // Orientation and motion were asked for while the tap was handled.
  assert.deepEqual(await page.evaluate(() => window.asked),
                   [{ name: 'orientation', inTap: true }, { name: 'motion', inTap: true }]);

  let state = await dumpWhen(page, (s) => s.session.mode === 'camera', 'the camera\'s frames');
  // Held upright, the phone looks ahead, as the room's camera did.
  close(state.session.cameraTransform, identity, 1e-6, 'upright, re-centred');
  // A phone's main camera: 69° across the picture's long side, the picture
  // covering the view (640 × 480 scaled by 844 / 480).
  const focal = (320 / Math.tan((69.39 / 2) * Math.PI / 180)) * (844 / 480);
  close([state.session.projection[0], state.session.projection[5]],
        [(2 * focal) / viewport.width, (2 * focal) / viewport.height], 1e-4, 'the projection');

  const bare = await screenshot(page, 'camera-bare.png');
  for (const point of roomPoints) near(bare.pixel(...point), roomAt(point), 40, `the room at ${point}`);

  const framesBefore = await page.evaluate(() => window.scrawlet.stats.frames);
  await page.mouse.click(195, 422);
  state = await dumpWhen(page, (s) => s.lines.length === 1, 'the stroke');
  assert.equal(sprites(state).length, 1);
  close(sprites(state)[0].position, [0, 0, -1.234], 1e-5, 'along the forward axis');
  await page.waitForFunction((n) => window.scrawlet.stats.frames > n, framesBefore);
  const drawn = await screenshot(page, 'camera.png');
  assert.ok(changedAround(bare, drawn, [195, 422]) > 40, 'drawn under the finger, over the camera');
  for (const point of roomPoints) near(drawn.pixel(...point), roomAt(point), 40, `still the room at ${point}`);

  // Turned 90° to the left, the drawing is off the screen; turned back, it
  // is where it was, to the pixel.
  await hold(page, 90, 90, 0);
  state = await dumpWhen(page, (s) => Math.abs(s.session.cameraTransform[8] - 1) < 1e-5, 'turned left');
  close(state.session.cameraTransform.slice(12), [0, 0, 0, 1], 0, 'the position stays');
  await animationFrames(page);
  const turned = await screenshot(page);
  assert.ok(changedAround(bare, turned, [195, 422]) < 10, 'the drawing has left the screen');
  await hold(page, 0, 90, 0);
  await dumpWhen(page, (s) => s.session.cameraTransform.every((v, i) => v === identity[i]), 'turned back');
  await animationFrames(page);
  const back = await screenshot(page);
  assert.ok(changedAround(drawn, back, [195, 422], 30) === 0, 'the same pixels as before');

  // Scripts act on the live view; the frames are the phone's.
  const refused = await page.evaluate(() => window.scrawlet.run('frame'));
  assert.notEqual(refused.status, 0);
  assert.match(refused.errors.join('\n'), /orientation/);

  // The round buttons work as in AR: undo takes the stroke away, and the
  // next stroke is drawn along the turned view.
  await page.mouse.click(buttons.undo[0], buttons.undo[1]);
  assert.equal((await dump(page)).lines.length, 0, 'undone');
  await page.mouse.click(195, 422);
  await page.mouse.click(buttons.clear[0], buttons.clear[1]);
  state = await dumpWhen(page, (s) => s.presented?.message === s.texts.clearText, 'the clear alert');
  await page.keyboard.press('Escape');
  assert.equal((await dump(page)).lines.length, 1, 'kept');

  // Leaving brings the room back, seen from where the camera stood.
  await page.click('#exit-ar');
  state = await dumpWhen(page, (s) => s.session.mode === 'room', 'the room again');
  assert.equal(await page.isVisible('#camera'), false);
  assert.equal(await page.textContent('#enter-ar'), 'Use Camera');
  assert.equal(sprites(state).length, 1);
  await page.close();
});

test('without an orientation sensor the view stays fixed and says it cannot turn', async () => {
  const { page, log } = await openPhone();
  await useCamera(page, log);
  const start = await dumpWhen(page, (s) => s.session.mode === 'camera', 'the camera\'s frames');
  // The events of a device without the sensor: every angle null.
  await page.evaluate(() => window.dispatchEvent(new DeviceOrientationEvent('deviceorientation', {
    alpha: null, beta: null, gamma: null })));
  await page.waitForFunction(() => window.scrawlet.stats.camera.sensor === 'missing');
  assert.match(await page.textContent('#note'), /cannot turn the view/);
  await animationFrames(page);
  assert.deepEqual((await dump(page)).session.cameraTransform, start.session.cameraTransform);
  await page.mouse.click(195, 422);
  const state = await dump(page);
  close(sprites(state)[0].position, [0, 0, -1.234], 1e-5, 'drawn ahead all the same');
  await page.close();
});

test('a refused or unanswered prompt says what is missing and leaves the room; the next tap asks again', async () => {
  const { page, log } = await openPhone();
  await page.evaluate(() => { window.answers = { orientation: 'denied', motion: 'dismissed' }; });
  await page.click('#enter-ar');
  await page.waitForFunction(() => window.scrawlet.stats.camera.refused === 'orientation');
  assert.match(await page.textContent('#note'), /orientation access was not allowed.*simulated room/);
  let state = await dump(page);
  assert.equal(state.session.mode, 'room');
  assert.equal(await page.isVisible('#camera'), false, 'the camera is let go');
  assert.equal(await page.isVisible('#enter-ar'), true);

  await page.evaluate(() => { window.answers = { orientation: 'dismissed', motion: 'dismissed' }; });
  await page.click('#enter-ar');
  await page.waitForFunction(() => /not answered/.test(document.getElementById('note').textContent));
  // The motion prompt went unanswered too: a tap on the drawing asks again,
  // inside the tap, until it is answered.
  const asked = async () => (await page.evaluate(() => window.asked)).filter((a) => a.name === 'motion');
  const before = (await asked()).length;
  await page.mouse.click(200, 300);
  await page.waitForFunction((n) => window.asked.filter((a) => a.name === 'motion').length > n, before);
  await page.evaluate(() => { window.answers = {}; });
  await page.mouse.click(220, 320);
  const answered = (await asked()).length;
  await page.mouse.click(240, 340);
  await animationFrames(page);
  assert.equal((await asked()).length, answered, 'an answer is kept');
  assert.ok((await page.evaluate(() => window.asked)).every((a) => a.inTap), 'always inside a tap');

  // Allowed at last: the camera shows.
  await useCamera(page, log);
  state = await dumpWhen(page, (s) => s.session.mode === 'camera', 'the camera\'s frames');
  assert.equal(state.lines.length, 3, 'the taps drew, and nothing was lost');

  // A camera the person refuses says how to allow it.
  await page.click('#exit-ar');
  await page.evaluate(() => {
    navigator.mediaDevices.getUserMedia = () => Promise.reject(new DOMException('Permission denied', 'NotAllowedError'));
  });
  await page.click('#enter-ar');
  await page.waitForFunction(() => window.scrawlet.stats.camera.refused === 'camera');
  assert.match(await page.textContent('#note'), /camera was not allowed.*Settings.*tap “Use Camera” again/);
  assert.equal((await dump(page)).session.mode, 'room');
  await page.close();
});

test('Enter and Space on the focused button start the camera, and Space there does not ask to clear', async () => {
  for (const key of ['Space', 'Enter']) {
    const { page, log } = await openPhone();
    await page.focus('#enter-ar');
    await page.keyboard.press(key);
    await page.waitForFunction(() => window.scrawlet.stats.camera.state === 'running', null, { timeout: 20000 })
      .catch(() => { throw new Error(log.join('\n')); });
    const state = await dump(page);
    assert.deepEqual([state.session.mode, state.presented], ['camera', null], key);
    await page.close();
  }
});

test('the shared picture shows the camera\'s room under the drawing, opaque', async () => {
  const { page, log } = await openPhone();
  await hold(page, 0, 90, 0);
  await useCamera(page, log);
  await dumpWhen(page, (s) => s.session.mode === 'camera', 'the camera\'s frames');
  await page.mouse.click(195, 600);
  const { picture } = await sharedPicture(page);
  assert.deepEqual([picture.width, picture.height], [viewport.width, viewport.height - 30]);
  // The room where the screen shows it, 30 points up; every pixel opaque.
  for (const point of roomPoints) {
    const [x, y] = point;
    near(picture.pixel(x, y - 30), roomAt([x, y - 30], 30), 40, `the room at ${point}`);
  }
  let transparent = 0;
  for (let y = 0; y < picture.height; y += 7)
    for (let x = 0; x < picture.width; x += 7) if (picture.pixel(x, y)[3] !== 255) ++transparent;
  assert.equal(transparent, 0, 'no transparent pixels');
  // The drawing lies over it: the emoji where it was drawn differs from
  // the bare room there.
  let drawnOver = 0;
  for (let y = 560; y < 580; ++y)
    for (let x = 185; x < 205; ++x) {
      const expected = roomAt([x, y], 30);
      if (picture.pixel(x, y).slice(0, 3).some((c, i) => Math.abs(c - expected[i]) > 40)) ++drawnOver;
    }
  assert.ok(drawnOver > 40, `the emoji over the room: ${drawnOver}`);
  const shared = await page.evaluate(() => window.scrawlet.stats.shared);
  assert.ok(shared.bytes > 1000);
  assert.equal((await dump(page)).presented, null, 'the sheet is done with');
  await page.close();
});

test('the first screen speaks to the device in hand, in the person\'s language', async () => {
  // A phone: fingers, not keys, and no word of WebXR.
  const { page, log } = await openPage(browser, { before: iPhone, touch: true });
  await launched(page, log);
  await page.waitForSelector('#note', { state: 'visible' });
  const note = await page.textContent('#note');
  assert.match(note, /^Drag a finger to draw\. Tap “Use Camera” to draw in your own room\.$/);
  await page.close();
  // A computer: the keys, and the button.
  const { page: computer, log: computerLog } = await openPage(browser, { before: iPhone });
  await launched(computer, computerLog);
  await computer.waitForSelector('#note', { state: 'visible' });
  assert.match(await computer.textContent('#note'), /use “Use Camera”\. Drag to draw\. W A S D walk/);
  await computer.close();
  // Traditional Chinese, as the program's own texts are.
  const { page: chinese, log: chineseLog } = await openPage(browser, { before: iPhone, touch: true, setup: 'languages zh-Hant-TW' });
  await launched(chinese, chineseLog);
  await chinese.waitForSelector('#enter-ar', { state: 'visible' });
  assert.equal(await chinese.textContent('#enter-ar'), '使用相機');
  assert.match(await chinese.textContent('#note'), /^用手指拖曳即可繪畫。輕點「使用相機」/);
  await chinese.close();
});
