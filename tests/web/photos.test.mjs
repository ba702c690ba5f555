// Photos in the page: "Take Photo…" opens the camera's chooser only where
// the browser lists a camera, as cameras come and go, and the page launches
// without waiting for the list; a JPEG file cut short is refused as it is
// natively, not shown half grey; four phone photos of 48 MP leave the
// program's memory small.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
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
  // A phone's photo, 8064 × 6048, made by the browser's own encoder.
  const jpeg = Buffer.from(await page.evaluate(async () => {
    const canvas = new OffscreenCanvas(8064, 6048);
    const context = canvas.getContext('2d');
    const light = context.createLinearGradient(0, 0, 8064, 6048);
    light.addColorStop(0, '#d82020');
    light.addColorStop(0.5, '#20a040');
    light.addColorStop(1, '#2040d8');
    context.fillStyle = light;
    context.fillRect(0, 0, 8064, 6048);
    const blob = await canvas.convertToBlob({ type: 'image/jpeg', quality: 0.9 });
    const bytes = new Uint8Array(await blob.arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(text);
  }), 'base64');
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
