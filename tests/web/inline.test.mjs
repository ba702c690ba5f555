// The page in a browser without augmented reality, used as a person would:
// the simulated room, the mouse drawing and pressing the round buttons, the
// walking keys, shakes, the file chooser behind "Add Photo…", the download
// behind "Share as Picture…", and the drawing kept in the browser's storage.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { PNG, changedAround } from './png.mjs';
import {
  buttons, drag, dump, dumpWhen, fileChoosers, launched, openPage, presented, root, startBrowser, tap, tapTarget, viewport,
} from './chromium.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

const sprites = (state) => state.lines.flat().length;
const distance = (p, q) => Math.hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
const label = (state) => state.hud.nodes.find((node) => node.field === 'textLabel').text;
const cameraAt = (state) => state.session.cameraTransform.slice(12, 15);

test('the page draws the simulated room, and says why it offers no augmented reality', async () => {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  await page.waitForSelector('#note', { state: 'visible' });
  assert.equal(await page.isHidden('#enter-ar'), true, 'no "Enter AR" without a device');
  assert.match(await page.textContent('#note'), /augmented reality.*simulated room.*W A S D/);
  const picture = PNG.read(await page.screenshot());
  const wall = picture.pixel(viewport.width / 2, 120), floor = picture.pixel(60, 700);
  assert.ok(wall.slice(0, 3).some((c) => c > 60), 'the wall is lit, not cleared to black');
  assert.notDeepEqual(wall, floor, 'wall and floor differ');
  assert.ok(picture.pixel(12, 814).slice(0, 3).every((c) => c < 60), 'the menu button is drawn');
  let state = await dump(page);
  assert.deepEqual(state.session.cameraTransform, [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1],
                   'the room is seen from where the walk starts');
  // The window turned on its side: the app takes the new size.
  await page.setViewportSize({ width: 700, height: 400 });
  state = await dumpWhen(page, (s) => s.hud.size[0] === 700, 'the new size');
  assert.deepEqual(state.hud.size, [700, 400]);
  await page.setViewportSize(viewport);
  await page.close();

  const { page: older, log: olderLog } = await openPage(browser, {
    before: () => { delete Navigator.prototype.xr; },
  });
  await launched(older, olderLog);
  await older.waitForSelector('#note', { state: 'visible' });
  assert.match(await older.textContent('#note'), /^This browser offers no WebXR: drawing in the simulated room/);
  await older.close();
});

test('the mouse draws where it drags; the round buttons undo and clear; Esc and Enter answer', async () => {
  // The emoji are picked by a fixed seed: the first, a slice of pizza,
  // stands out from the window's blue sky, where a random one of its blue
  // would fail the check that it shows. A page opened with set-up commands
  // takes its frames from scripts until someone walks: one is drawn here.
  const { page, log } = await openPage(browser, { setup: 'seed 6' });
  await launched(page, log);
  await page.evaluate(() => window.scrawlet.run('frame'));
  const before = PNG.read(await page.screenshot());
  await drag(page, [[100, 300], [150, 320], [200, 330], [250, 320]]);
  let state = await dump(page);
  assert.equal(state.lines.length, 1, 'one stroke');
  // Moves 20 ms apart in the hand's own time: a sprite for each, however
  // the frames fall.
  assert.equal(sprites(state), 13, 'a sprite for the press and each of the 12 moves');
  for (const node of state.scene.rootNode.children)
    assert.ok(Math.abs(distance(node.position, cameraAt(state)) - 1.234) < 1e-5, 'at 1.234 m');
  assert.equal(await page.isHidden('#note'), true, 'the note goes once drawing starts');
  const after = PNG.read(await page.screenshot());
  for (const point of [[100, 300], [200, 330]])
    assert.ok(changedAround(before, after, point) > 40, `drawn under the pointer at ${point}`);

  // A mouse reporting every 2 ms: a sprite for each 60th of a second of
  // its 80 ms, not one for each report (and the release's place, if the
  // last interval's sample went before it).
  await drag(page, [[120, 500], [220, 520]], { steps: 40, apartMs: 2 });
  state = await dump(page);
  const fast = state.lines[1].length;
  assert.ok(fast >= 5 && fast <= 6, `a sprite for each sixtieth of a second: ${fast}`);
  await tap(page, buttons.undo);
  state = await dump(page);
  assert.equal(state.lines.length, 1, 'undo takes the newest stroke');

  // Esc cancels; Enter chooses the bold action, never the destructive
  // one; OK clears.
  for (const key of ['Escape', 'Enter']) {
    await tap(page, buttons.clear);
    state = await dumpWhen(page, (s) => s.presented?.message === s.texts.clearText, 'the clear alert');
    await page.keyboard.press(key);
    state = await dump(page);
    assert.deepEqual([state.presented, state.lines.length], [null, 1], `${key} keeps the drawing`);
  }
  await tap(page, buttons.clear);
  await tapTarget(page, state.texts.okText);
  state = await dump(page);
  assert.deepEqual([state.presented, state.lines.length, sprites(state)], [null, 0, 0], 'OK clears');
  await page.close();
});

test('the walking keys move the camera, a right-drag turns it, R brings it back', async () => {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  await page.keyboard.down('KeyW');
  await page.waitForTimeout(400);
  await page.keyboard.up('KeyW');
  let state = await dump(page);
  const [x, y, z] = cameraAt(state);
  assert.ok(z < -0.1 && Math.abs(x) < 1e-6 && Math.abs(y) < 1e-6, `walked forward to ${[x, y, z]}`);

  await page.mouse.move(200, 400);
  await page.mouse.down({ button: 'right' });
  await page.mouse.move(280, 400, { steps: 4 });
  await page.mouse.up({ button: 'right' });
  state = await dump(page);
  const look = state.session.cameraTransform.slice(8, 11).map((v) => -v);
  assert.ok(look[0] > 0.2, `turned to the right, looking along ${look}`);
  assert.equal(sprites(state), 0, 'turning draws nothing');

  await page.keyboard.press('KeyR');
  state = await dump(page);
  assert.deepEqual(state.session.cameraTransform, [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]);
  await page.close();
});

test('Space, or the phone shaken, asks to clear; a gentle movement does not', async () => {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  const asksToClear = (s) => s.presented?.message === s.texts.clearText;
  await page.keyboard.press('Space');
  assert.ok(asksToClear(await dump(page)), 'Space is a shake');
  await page.keyboard.press('Escape');

  const move = (strength, times) => page.evaluate(({ strength, times }) => {
    for (let i = 0; i < times; ++i)
      window.dispatchEvent(new DeviceMotionEvent('devicemotion', {
        acceleration: { x: strength, y: 0, z: 0 }, interval: 16,
      }));
  }, { strength, times });
  await move(4, 10);
  assert.equal((await dump(page)).presented, null, 'holding the phone is no shake');
  await move(20, 3);
  assert.ok(asksToClear(await dump(page)), 'three strong movements are a shake');
  await page.close();
});

test('"Add Photo…" opens the file chooser: a photo hangs upright, anything else is refused', async () => {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  const choosers = fileChoosers(page);
  const addPhoto = async () => {
    await tap(page, buttons.menu);
    await tapTarget(page, 'Add Photo…');
    return choosers.next();
  };

  let chooser = await addPhoto();
  assert.equal(chooser.isMultiple(), false);
  await chooser.setFiles(join(root, 'tests/data/photo-exif-6.jpg'));
  let state = await dumpWhen(page, (s) => s.lines.length === 1, 'the photo placed');
  assert.equal(state.presented, null, 'the picker is gone');
  const chosen = state.scene.rootNode.children[0];
  // The same photo picked the way a script picks it, from a file.
  await page.evaluate((bytes) => window.scrawlet.module.FS.writeFile('/photo.jpg', new Uint8Array(bytes)),
                      [...readFileSync(join(root, 'tests/data/photo-exif-6.jpg'))]);
  const picked = await page.evaluate(() => window.scrawlet.run(
    'down 30 820\nup\nchoose "Add Photo…"\npick /photo.jpg\ndump'));
  const scripted = JSON.parse(picked.lines[0]).scene.rootNode.children[1];
  // The browser decodes the chosen file, our decoder the script's: the
  // same upright picture, in pixels that each decoder rounds its own way.
  const withoutPixels = (geometry) => {
    const { pixels, ...image } = geometry.material.image;
    assert.match(pixels, /^[0-9a-f]+$/);
    return { ...geometry, material: { ...geometry.material, image } };
  };
  assert.deepEqual(withoutPixels(chosen.geometry), withoutPixels(scripted.geometry), 'the same upright picture');
  assert.equal(chosen.geometry.material.image.orientation, 'up');
  assert.ok(chosen.geometry.height > chosen.geometry.width, 'turned upright: taller than wide');

  // A file that is no picture: the picker stays and says why; a tap on it
  // opens the chooser again, and cancelling that closes the picker.
  chooser = await addPhoto();
  await chooser.setFiles({ name: 'notes.txt', mimeType: 'text/plain', buffer: Buffer.from('not a photo') });
  let shown;
  for (const until = Date.now() + 15000; Date.now() < until && shown?.type !== 'alert';)
    shown = await presented(page);
  assert.equal(shown.title, 'This picture cannot be used');
  assert.match(shown.message, /^notes\.txt: it is neither a JPEG nor a PNG picture/);
  state = await dump(page);
  assert.equal(state.presented.type, 'imagePicker', 'the picker under it stays');
  assert.equal(state.lines.length, 2, 'nothing placed');
  await page.keyboard.press('Escape');
  assert.equal((await dump(page)).presented.type, 'imagePicker', 'the picker stays');
  await page.mouse.click(200, 400);
  await (await choosers.next()).setFiles([]);
  state = await dumpWhen(page, (s) => s.presented === null, 'the picker closed');
  assert.equal(state.lines.length, 2);

  // A kind of picture our decoders do not read (WebP, as phones' galleries
  // have) is read by the browser's.
  const webp = await page.evaluate(async () => {
    const canvas = new OffscreenCanvas(40, 30);
    const context = canvas.getContext('2d');
    context.fillStyle = '#c03';
    context.fillRect(0, 0, 40, 30);
    const blob = await canvas.convertToBlob({ type: 'image/webp' });
    return Array.from(new Uint8Array(await blob.arrayBuffer()));
  });
  chooser = await addPhoto();
  await chooser.setFiles({ name: 'gallery.webp', mimeType: 'image/webp', buffer: Buffer.from(webp) });
  state = await dumpWhen(page, (s) => s.lines.length === 3, 'the WebP photo placed');
  const image = state.scene.rootNode.children[2].geometry.material.image;
  assert.deepEqual([image.width, image.height, image.orientation], [40, 30, 'up']);
  await page.close();
});

test('"Take Photo…" opens the camera\'s chooser where there is a camera, and does nothing elsewhere', async () => {
  for (const camera of ['yes', 'no']) {
    const { page, log } = await openPage(browser, { setup: `camera ${camera}` });
    await launched(page, log);
    await page.evaluate(() => window.scrawlet.run('frame'));
    const choosers = fileChoosers(page);
    await tap(page, buttons.menu);
    await tapTarget(page, 'Take Photo…');
    if (camera === 'no') {
      const state = await dump(page);
      assert.deepEqual([state.presented, state.lines.length], [null, 0], 'nothing happens');
      await page.close();
      continue;
    }
    const chooser = await choosers.next();
    const input = chooser.element();
    assert.equal(await input.getAttribute('capture'), 'environment', 'the camera is asked for');
    assert.equal(await input.getAttribute('accept'), 'image/*');
    await chooser.setFiles(join(root, 'tests/data/photo-exif-3.jpg'));
    const state = await dumpWhen(page, (s) => s.lines.length === 1, 'the photo placed');
    assert.equal(state.scene.rootNode.children[0].geometry.material.image.orientation, 'up');
    await page.close();
  }
});

test('"Share as Picture…" downloads the picture as a PNG where the browser cannot share files', async () => {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  await drag(page, [[100, 300], [200, 330]]);
  const screen = PNG.read(await page.screenshot());
  await tap(page, buttons.menu);
  const download = page.waitForEvent('download');
  await tapTarget(page, 'Share as Picture…');
  const file = await download;
  assert.match(file.suggestedFilename(), /^Scrawlet \d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.png$/);
  const picture = PNG.read(readFileSync(await file.path()));
  // What the screen showed without its top 30 points, at the page's pixels
  // per point (drawn again offscreen, so edges may differ a little).
  assert.deepEqual([picture.width, picture.height], [viewport.width, viewport.height - 30]);
  let difference = 0;
  for (let y = 0; y < picture.height; ++y)
    for (let x = 0; x < picture.width; ++x) {
      const [a, b] = [picture.pixel(x, y), screen.pixel(x, y + 30)];
      difference += Math.abs(a[0] - b[0]) + Math.abs(a[1] - b[1]) + Math.abs(a[2] - b[2]);
    }
  assert.ok(difference / (picture.width * picture.height * 3) < 2, 'the screen as it was');
  await file.delete();
  assert.equal((await dump(page)).presented, null, 'the sheet is done with');
  await page.close();
});

test('a share the browser refuses for want of a fresh tap is offered on a button of its own', async () => {
  // A browser that shares files, but (as WebKit does a second after the
  // tap) refuses without a fresh one.
  const { page, log } = await openPage(browser, {
    before: () => {
      window.sharedFiles = [];
      navigator.canShare = () => true;
      navigator.share = ({ files }) => {
        if (!navigator.userActivation.isActive || window.sharedFiles.length === 0) {
          window.sharedFiles.push(null);
          return Promise.reject(new DOMException('needs a tap', 'NotAllowedError'));
        }
        window.sharedFiles.push(files.map((file) => [file.name, file.type, file.size]));
        return Promise.resolve();
      };
    },
  });
  await launched(page, log);
  await drag(page, [[100, 300], [200, 330]]);
  await tap(page, buttons.menu);
  await tapTarget(page, 'Share as Picture…');
  await page.waitForSelector('#share-picture', { state: 'visible' });
  assert.equal(await page.textContent('#share-picture'), 'Share Picture');
  assert.equal((await dump(page)).presented.type, 'share', 'the sheet waits');
  await page.click('#share-picture');
  const state = await dumpWhen(page, (s) => s.presented === null, 'the sheet done with');
  const shared = await page.evaluate(() => window.sharedFiles);
  assert.equal(shared.length, 2);
  assert.match(shared[1][0][0], /^Scrawlet .*\.png$/);
  assert.equal(shared[1][0][1], 'image/png');
  assert.equal(await page.isVisible('#share-picture'), false);
  assert.equal(state.lines.length, 1, 'the button drew nothing');
  await page.close();
});

test('a saved drawing is kept across a reload; a damaged file is refused and the drawing kept', async () => {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  await drag(page, [[100, 300], [150, 320], [200, 330]]);
  const drawn = await dump(page);
  await tap(page, buttons.menu);
  await tapTarget(page, 'Save Scrawlet');
  // Said once the browser's storage has the bytes.
  assert.equal(await page.evaluate(() => window.scrawlet.module.storagePersisted()), true);
  const saved = await dump(page);
  assert.equal(label(saved), saved.texts.savedText);

  await page.reload();
  await launched(page, log);
  await tap(page, buttons.menu);
  await tapTarget(page, 'Load Scrawlet');
  const loaded = await dump(page);
  assert.equal(loaded.lines.length, 1, 'loaded as one stroke');
  const positions = (state) => state.scene.rootNode.children.flatMap(function all(node) {
    return node.geometry ? [node.position] : node.children.flatMap(all);
  });
  assert.deepEqual(positions(loaded), positions(drawn), 'every sprite where it was');

  // The stored file damaged behind the app's back.
  await page.evaluate(() => new Promise((resolve, reject) => {
    const FS = window.scrawlet.module.FS;
    FS.writeFile('/home/web_user/Documents/scrawlet.scn', 'glTF, or so it says');
    FS.syncfs(false, (error) => (error ? reject(error) : resolve()));
  }));
  await page.reload();
  await launched(page, log);
  await drag(page, [[100, 500], [200, 520]]);
  const before = await dump(page);
  await tap(page, buttons.menu);
  await tapTarget(page, 'Load Scrawlet');
  const after = await dump(page);
  assert.equal(label(after), after.texts.loadFailedText);
  assert.deepEqual(after.lines, before.lines, 'the drawing is kept');
  await page.close();
});

test('a browser without WebGL 2, or set-up commands that make no sense, are told so; nothing kept is lost', async () => {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  await page.evaluate(() => window.scrawlet.run('frame\ndown 100 300\nmove 150 300\nup\n' +
                                                'down 30 820\nup\nchoose "Save Scrawlet"'));
  await page.evaluate(() => window.scrawlet.module.storagePersisted());
  await page.close();

  const { page: blind } = await openPage(browser, {
    before: () => {
      const getContext = HTMLCanvasElement.prototype.getContext;
      HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
        return kind === 'webgl2' ? null : getContext.call(this, kind, ...rest);
      };
    },
  });
  await assert.rejects(blind.evaluate(() => window.scrawlet.ready), /WebGL 2/);
  assert.match(await blind.textContent('#message'), /no WebGL 2/);
  assert.equal(await blind.isVisible('#message'), true);
  await blind.close();

  // Set-up commands in the address that make no sense are named.
  const { page: garbled } = await openPage(browser, { setup: 'view 390' });
  await assert.rejects(garbled.evaluate(() => window.scrawlet.ready), /line 1: view: expected a width and a height/);
  assert.equal(await garbled.isVisible('#message'), true);
  await garbled.close();

  const { page: again, log: againLog } = await openPage(browser);
  await launched(again, againLog);
  const run = await again.evaluate(() => window.scrawlet.run('down 30 820\nup\nchoose "Load Scrawlet"\ndump'));
  assert.equal(JSON.parse(run.lines[0]).lines.length, 1, 'the saved drawing loads');
  await again.close();
});
