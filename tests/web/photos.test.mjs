// Photos in the page: "Take Photo…" opens the camera's chooser only where
// the browser lists a camera, as cameras come and go, and the page launches
// without waiting for the list; a JPEG file cut short is refused as it is
// natively, not shown half grey; four phone photos of 48 MP leave the
// program's memory small; a photo placed shows once its texture is whole
// (uploaded a band a frame), and is stored as a JPEG file while the page is
// idle, a save before that storing it as it always did, with the same bytes.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { PNG } from './png.mjs';
import {
  buttons, dump, dumpWhen, fileChoosers, launched, openPage, presented, root, startBrowser,
  startCameraBrowser, tap, tapTarget,
} from './chromium.mjs';

const browsers = [];
after(async () => { await Promise.all(browsers.map((browser) => browser.close())); });
const started = async (start) => {
  const browser = await start();
  browsers.push(browser);
  return browser;
};

// Waits until the page has read the browser's list of devices `times`
// times: whether it found a camera.
async function camerasListed(page, times = 1) {
  await page.waitForFunction((times) => window.scrawlet.stats.cameraListings >= times, times, { timeout: 15000 });
  return page.evaluate(() => window.scrawlet.stats.cameraListed);
}

// Chooses "Take Photo…" from the menu: the picker it presents, or null.
async function takePhoto(page) {
  const run = await page.evaluate(() => window.scrawlet.run('down 30 820\nup\nchoose "Take Photo…"\ndump'));
  assert.equal(run.status, 0, run.errors.join('\n'));
  const shown = JSON.parse(run.lines[0]).presented;
  if (shown) await page.evaluate(() => window.scrawlet.run('pick-cancel'));
  return shown;
}

// The list of devices, as the page will get it: `window.listed` says
// which kinds it holds; while `window.listHeld` is set it never answers.
const stubbedDevices = () => {
  window.listed = ['audioinput'];
  navigator.mediaDevices.enumerateDevices = () => (window.listHeld ? new Promise(() => {})
    : Promise.resolve(window.listed.map((kind) => ({ kind, deviceId: kind, groupId: '', label: '' }))));
};

test('"Take Photo…" opens the camera only where the browser lists one, as cameras come and go', async () => {
  const camera = await started(startCameraBrowser);
  let { page, log } = await openPage(camera);
  await launched(page, log);
  assert.equal(await camerasListed(page), true, 'the fake camera is listed');
  const shown = await takePhoto(page);
  assert.deepEqual([shown?.type, shown?.sourceType], ['imagePicker', 'camera']);
  await page.close();

  // The same browser listing no camera, until one is plugged in.
  ({ page, log } = await openPage(camera, { before: stubbedDevices }));
  await launched(page, log);
  assert.equal(await camerasListed(page), false);
  assert.equal(await takePhoto(page), null, 'no camera, no picker');
  await page.evaluate(() => {
    window.listed = ['audioinput', 'videoinput'];
    navigator.mediaDevices.dispatchEvent(new Event('devicechange'));
  });
  assert.equal(await camerasListed(page, 2), true);
  assert.equal((await takePhoto(page))?.sourceType, 'camera', 'the camera plugged in is offered');
  await page.close();

  // A list that never comes (Firefox answers only once the window has
  // focus) does not hold the launch up.
  ({ page, log } = await openPage(camera, { before: `(${stubbedDevices})(); window.listHeld = true;` }));
  await launched(page, log);
  assert.equal(await page.evaluate(() => window.scrawlet.stats.cameraListings), 0);
  await page.close();

  // A browser without a camera, on a touch screen, which the page first
  // takes for a phone's; and a set-up script's word is believed over the
  // list.
  const plain = await started(startBrowser);
  ({ page, log } = await openPage(plain, { touch: true }));
  await launched(page, log);
  assert.equal(await camerasListed(page), false);
  assert.equal(await takePhoto(page), null);
  await page.close();
  ({ page, log } = await openPage(plain, { setup: 'camera yes' }));
  await launched(page, log);
  await camerasListed(page);
  assert.equal((await takePhoto(page))?.sourceType, 'camera');
  await page.close();
});

test('a JPEG file cut short is refused with the reason the native program gives, and nothing is placed', async () => {
  const browser = await started(startBrowser);
  const { page, log } = await openPage(browser);
  await launched(page, log);
  const choosers = fileChoosers(page);
  await tap(page, buttons.menu);
  await tapTarget(page, 'Add Photo…');
  await (await choosers.next()).setFiles(join(root, 'tests/data/truncated.jpg'));
  let shown;
  for (const until = Date.now() + 15000; Date.now() < until && shown?.type !== 'alert';)
    shown = await presented(page);
  assert.equal(shown?.title, 'This picture cannot be used');
  assert.equal(shown.message, 'truncated.jpg: the JPEG picture is damaged or cut short: premature end of JPEG file');
  const state = await dump(page);
  assert.equal(state.presented.type, 'imagePicker', 'the picker stays for another try');
  assert.equal(state.lines.length, 0, 'nothing placed');
  await page.close();
});

test('four 48 MP photos placed leave the program\'s memory under 256 MB', async () => {
  const browser = await started(startBrowser);
  const { page, log } = await openPage(browser);
  await launched(page, log);
  // A phone's photo, 8064 × 6048, a gradient from red through green to blue.
  const jpeg = await browserJpeg(page, 8064, 6048, ['#d82020', '#20a040', '#2040d8']);
  const choosers = fileChoosers(page);
  for (let i = 0; i < 4; ++i) {
    await tap(page, buttons.menu);
    await tapTarget(page, 'Add Photo…');
    await (await choosers.next()).setFiles({ name: `photo-${i + 1}.jpg`, mimeType: 'image/jpeg', buffer: jpeg });
    const state = await dumpWhen(page, (s) => s.lines.length === i + 1, `photo ${i + 1} placed`);
    const image = state.scene.rootNode.children[i].geometry.material.image;
    assert.deepEqual([image.width, image.height], [2048, 1536], `photo ${i + 1} kept at 2048 across`);
  }
  const heap = await page.evaluate(() => window.scrawlet.module.HEAPU8.length);
  assert.ok(heap < 256 * 1048576, `the program's memory is ${Math.round(heap / 1048576)} MB`);
  await page.close();
});

// A photo `width` by `height` made by the browser's own encoder, as a
// camera's JPEG file: one colour, or a gradient from corner to corner
// through `colours`.
async function browserJpeg(page, width, height, colours) {
  return Buffer.from(await page.evaluate(async ({ width, height, colours }) => {
    const canvas = new OffscreenCanvas(width, height);
    const context = canvas.getContext('2d');
    const fill = context.createLinearGradient(0, 0, width, height);
    colours.forEach((colour, i) => fill.addColorStop(colours.length > 1 ? i / (colours.length - 1) : 0, colour));
    context.fillStyle = fill;
    context.fillRect(0, 0, width, height);
    const blob = await canvas.convertToBlob({ type: 'image/jpeg', quality: 0.9 });
    const bytes = new Uint8Array(await blob.arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(text);
  }, { width, height, colours }), 'base64');
}

// A photo larger than the atlas takes, 3000 × 2000, orange.
function orangePhoto(page) {
  return browserJpeg(page, 3000, 2000, ['#e07820']);
}

// The page's idle callbacks held back until `window.runIdle()`, so that a
// test says when the page is idle; and, once launched, the most pictures
// any frame drawn was still uploading.
const idleHeld = () => {
  window.heldIdle = [];
  window.requestIdleCallback = (callback) => window.heldIdle.push(callback);
  window.runIdle = () => {
    const held = window.heldIdle.splice(0);
    for (const callback of held) callback({ didTimeout: false, timeRemaining: () => 50 });
    return held.length;
  };
};
const watchUploads = (page) => page.evaluate(() => {
  window.mostUploading = 0;
  const shown = window.scrawlet.module.page;
  const frameDrawn = shown.frameDrawn;
  shown.frameDrawn = (planes, milliseconds, uploading) => {
    window.mostUploading = Math.max(window.mostUploading, uploading);
    frameDrawn.call(shown, planes, milliseconds, uploading);
  };
});

// Places `jpeg` through "Add Photo…" and waits until its texture is whole.
async function placePhoto(page, choosers, jpeg) {
  await tap(page, buttons.menu);
  await tapTarget(page, 'Add Photo…');
  await (await choosers.next()).setFiles({ name: 'orange.jpg', mimeType: 'image/jpeg', buffer: jpeg });
  const state = await dumpWhen(page, (s) => s.lines.length === 1, 'the photo placed');
  await page.waitForFunction(() => window.mostUploading > 0 && window.scrawlet.stats.uploading === 0,
                             null, { timeout: 60000 });
  return state;
}

// Saves with "Save Scrawlet" and waits for the write: the saved file's bytes.
async function saved(page) {
  await tap(page, buttons.menu);
  const writes = await page.evaluate(() => window.scrawlet.module.storageWrites.kept);
  await tapTarget(page, 'Save Scrawlet');
  await page.waitForFunction((before) => window.scrawlet.module.storageWrites.kept > before, writes,
                             { timeout: 60000 });
  return Buffer.from(await page.evaluate(() =>
    Array.from(window.scrawlet.module.FS.readFile('/home/web_user/Documents/scrawlet.scn'))));
}

// The bytes of the first picture a saved drawing (a GLB file) holds.
function firstPicture(glb) {
  assert.equal(glb.toString('ascii', 0, 4), 'glTF');
  const jsonLength = glb.readUInt32LE(12);
  const json = JSON.parse(glb.toString('utf8', 20, 20 + jsonLength));
  const bin = 20 + jsonLength + 8;
  const view = json.bufferViews[json.images[0].bufferView];
  assert.equal(json.images[0].mimeType, 'image/jpeg');
  return glb.subarray(bin + (view.byteOffset ?? 0), bin + (view.byteOffset ?? 0) + view.byteLength);
}

test('a photo placed shows once its texture is uploaded, and saves the same before and after it is stored while idle', async () => {
  const browser = await started(startBrowser);
  const pictures = [];
  for (const storedFirst of [false, true]) {
    const { page, log } = await openPage(browser, { before: idleHeld });
    await launched(page, log);
    await watchUploads(page);
    const choosers = fileChoosers(page);
    const jpeg = await orangePhoto(page);
    const middle = [195, 422];
    const before = PNG.read(await page.screenshot()).pixel(...middle);
    const placed = await placePhoto(page, choosers, jpeg);
    const image = placed.scene.rootNode.children[0].geometry.material.image;
    assert.equal(image.width, 2048, 'kept at 2048 across');
    // Drawn a band a frame, then whole: orange where the room was.
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
    const after = PNG.read(await page.screenshot()).pixel(...middle);
    assert.notDeepEqual(after, before, 'the photo shows');
    const orange = [0xe0, 0x78, 0x20];
    assert.ok(orange.every((c, i) => Math.abs(after[i] - c) <= 40), `orange in the middle, not ${after}`);
    assert.equal(await page.evaluate(() => window.heldIdle.length), 1, 'the page asked to be called when idle');
    if (storedFirst) {
      assert.equal(await page.evaluate(() => window.runIdle()), 1);
      assert.equal(await page.evaluate(() => window.scrawlet.stats.photosStored), 1);
    }
    const file = await saved(page);
    pictures.push(firstPicture(file));
    // Stored by the save or before it, once: the page has nothing left to store.
    await page.evaluate(() => window.runIdle());
    assert.equal(await page.evaluate(() => window.scrawlet.stats.photosStored), storedFirst ? 1 : 0);
    await page.close();
    // The drawing reads back with its photo, in a page of its own.
    const reader = await openPage(browser);
    await launched(reader.page, reader.log);
    await tap(reader.page, buttons.menu);
    await tapTarget(reader.page, 'Load Scrawlet');
    const planes = (node) => (node.geometry ? [node] : node.children.flatMap(planes));
    const loaded = await dumpWhen(reader.page, (s) => planes(s.scene.rootNode).length === 1, 'the drawing loaded');
    const back = planes(loaded.scene.rootNode)[0].geometry.material.image;
    assert.deepEqual([back.width, back.height], [image.width, image.height]);
    await reader.page.close();
  }
  assert.ok(pictures[0].length > 1000);
  assert.ok(pictures[0].equals(pictures[1]), 'the photo is stored as the same bytes, idle or in the save');
});
