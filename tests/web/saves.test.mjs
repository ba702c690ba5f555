// Saves in the page are real: "Scrawlet saved." only once the bytes are in
// the browser's storage; a storage that fails, one that is full, and a
// reload in the middle of a save never say it, and leave the drawing saved
// before loadable. Every save is written, even two of the same size within a
// second. Leaving with a change not kept asks first; the storage is asked to
// persist after the first save.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { buttons, drag, dump, launched, openPage, startBrowser, tap, tapTarget } from './chromium.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

const drawing = '/home/web_user/Documents/scrawlet.scn';
const label = (state) => state.hud.nodes.find((node) => node.field === 'textLabel').text;
const positions = (state) => state.scene.rootNode.children.flatMap(function all(node) {
  return node.geometry ? [node.position] : node.children.flatMap(all);
});
const storedBytes = (page) => page.evaluate((path) => {
  const FS = window.scrawlet.module.FS;
  return FS.analyzePath(path).exists ? Array.from(FS.readFile(path)) : null;
}, drawing);

// Taps "Save Scrawlet" and watches the line on every frame until the
// browser has answered: every text it showed, and whether the write was kept.
async function saveWatching(page) {
  await tap(page, buttons.menu);
  await page.evaluate(() => {
    const writes = window.scrawlet.module.storageWrites;
    const [answered, failed] = [writes.kept + writes.failed, writes.failed];
    const shown = new Set();
    window.saveWatched = new Promise((resolve) => {
      const frame = async () => {
        const run = await window.scrawlet.run('dump');
        shown.add(JSON.parse(run.lines[0]).hud.nodes.find((node) => node.field === 'textLabel').text);
        if (writes.kept + writes.failed > answered) resolve({ shown: [...shown], kept: writes.failed === failed });
        else requestAnimationFrame(frame);
      };
      requestAnimationFrame(frame);
    });
  });
  await tapTarget(page, 'Save Scrawlet');
  return page.evaluate(() => window.saveWatched);
}

// A drawing saved in a page whose storage works: its bytes and sprites.
async function savedDrawing() {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  await drag(page, [[100, 300], [150, 320], [200, 330]]);
  const saved = await saveWatching(page);
  assert.equal(saved.kept, true, log.join('\n'));
  const state = await dump(page);
  assert.equal(label(state), state.texts.savedText);
  const bytes = await storedBytes(page);
  await page.close();
  return { bytes, positions: positions(state) };
}

// Loads from the menu in a fresh page (with `before` in force): the sprites.
async function loadedInNewPage(before = null) {
  const { page, log } = await openPage(browser, { before });
  await launched(page, log);
  await tap(page, buttons.menu);
  await tapTarget(page, 'Load Scrawlet');
  const state = await dump(page);
  await page.close();
  return positions(state);
}

const failingStorages = {
  'an IndexedDB whose writes fail': () => {
    IDBObjectStore.prototype.put = function () {
      throw new DOMException('The disk said no.', 'UnknownError');
    };
  },
  'an IndexedDB that is full': () => {
    const put = IDBObjectStore.prototype.put;
    IDBObjectStore.prototype.put = function (...args) {
      const request = put.apply(this, args);
      const transaction = this.transaction;
      const full = new DOMException('The quota has been exceeded.', 'QuotaExceededError');
      Object.defineProperty(transaction, 'error', { get: () => full });
      transaction.abort();
      return request;
    };
  },
};

for (const [storage, stub] of Object.entries(failingStorages)) {
  test(`${storage}: "Save failed.", never "Scrawlet saved."; the drawing saved before stays`, async () => {
    const previous = await savedDrawing();
    const { page, log } = await openPage(browser, { before: stub });
    await launched(page, log);
    await drag(page, [[100, 500], [150, 520], [200, 530], [250, 540]]);
    const saved = await saveWatching(page);
    assert.equal(saved.kept, false);
    assert.ok(!saved.shown.includes('Scrawlet saved.'), `shown: ${saved.shown}`);
    const state = await dump(page);
    assert.equal(label(state), state.texts.saveFailedText);
    assert.equal(state.unsavedChanges, true, 'the drawing still counts as changed');
    if (storage.includes('full')) assert.ok(log.some((line) => /storage is full/.test(line)), log.join('\n'));
    assert.deepEqual(await storedBytes(page), previous.bytes, 'the file in memory is the one saved before');
    // Leaving now asks first.
    const asked = new Promise((resolve) => page.once('dialog', (dialog) => {
      resolve(dialog.type());
      dialog.accept();
    }));
    await page.close({ runBeforeUnload: true });
    assert.equal(await asked, 'beforeunload');
    assert.deepEqual(await loadedInNewPage(), previous.positions, 'the drawing saved before loads');
  });
}

test('a reload in the middle of a save asks first, never says "Scrawlet saved.", and keeps the drawing saved before', async () => {
  const previous = await savedDrawing();
  // A write that the browser has not finished: its transaction stays busy
  // (and is abandoned when the page goes).
  const busy = () => {
    const put = IDBObjectStore.prototype.put;
    IDBObjectStore.prototype.put = function (...args) {
      const request = put.apply(this, args);
      const store = this;
      const spin = () => { store.get(args[1]).onsuccess = spin; };
      spin();
      window.saveUnderWay = true;
      return request;
    };
  };
  const { page, log } = await openPage(browser, { before: busy });
  await launched(page, log);
  await drag(page, [[100, 500], [150, 520], [200, 530], [250, 540]]);
  await tap(page, buttons.menu);
  await tapTarget(page, 'Save Scrawlet');
  await page.waitForFunction(() => window.saveUnderWay);
  const during = await dump(page);
  assert.notEqual(label(during), during.texts.savedText);
  const asked = new Promise((resolve) => page.once('dialog', (dialog) => {
    resolve(dialog.type());
    dialog.accept();
  }));
  await page.reload();
  assert.equal(await asked, 'beforeunload', 'a write under way makes leaving ask');
  await launched(page, log);
  await tap(page, buttons.menu);
  await tapTarget(page, 'Load Scrawlet');
  const loaded = await dump(page);
  assert.notEqual(label(loaded), loaded.texts.savedText);
  assert.deepEqual(positions(loaded), previous.positions, 'the drawing saved before loads');
  await page.close();
});

test('two saves of the same size within a second are both written; the second loads', async () => {
  const { page, log } = await openPage(browser, {
    // Counts the browser being asked to keep the site's storage.
    before: () => {
      window.persistAsked = 0;
      if (navigator.storage) navigator.storage.persist = () => { window.persistAsked += 1; return Promise.resolve(true); };
    },
  });
  await launched(page, log);
  // Two photos of the same size, each alone in the drawing, saved one
  // after the other.
  const saves = await page.evaluate(async () => {
    const FS = window.scrawlet.module.FS;
    for (const [name, colour] of [['first', 'rgba(255, 0, 0, 0.5)'], ['second', 'rgba(0, 0, 255, 0.5)']]) {
      const canvas = new OffscreenCanvas(64, 48);
      const context = canvas.getContext('2d');
      context.fillStyle = colour;
      context.fillRect(0, 0, 64, 48);
      const blob = await canvas.convertToBlob({ type: 'image/png' });
      FS.writeFile(`/${name}.png`, new Uint8Array(await blob.arrayBuffer()));
    }
    const read = () => Array.from(FS.readFile('/home/web_user/Documents/scrawlet.scn'));
    const menu = (choice) => `down 30 820\nup\nchoose "${choice}"\n`;
    const first = await window.scrawlet.run(`frame\n${menu('Add Photo…')}pick /first.png\n${menu('Save Scrawlet')}`);
    const firstBytes = read();
    const second = await window.scrawlet.run(`down 300 820\nup\n${menu('Add Photo…')}pick /second.png\n` +
                                             `${menu('Save Scrawlet')}dump`);
    const secondBytes = read();
    const kept = await window.scrawlet.module.storagePersisted();
    return { statuses: [first.status, second.status], errors: [...first.errors, ...second.errors],
             firstBytes, secondBytes, kept, lines: JSON.parse(second.lines[0]).lines.length };
  });
  assert.deepEqual(saves.statuses, [0, 0], saves.errors.join('\n'));
  assert.equal(saves.lines, 1, 'one photo in the drawing');
  assert.equal(saves.kept, true);
  assert.equal(saves.secondBytes.length, saves.firstBytes.length, 'the two saves are of the same size');
  assert.notDeepEqual(saves.secondBytes, saves.firstBytes);
  let state = await dump(page);
  assert.equal(label(state), state.texts.savedText);
  assert.equal(state.unsavedChanges, false);
  assert.equal(await page.evaluate(() => window.persistAsked), 1, 'asked once, after the first save');

  await page.reload();
  await launched(page, log);
  assert.deepEqual(await storedBytes(page), saves.secondBytes, 'the second save is what the browser kept');
  await page.close();
});

test('pending writes are pushed through when the page is hidden or goes away', async () => {
  const { page, log } = await openPage(browser, {
    // Counts the writes the page pushes through, and keeps them open
    // until it does (each would otherwise finish by itself).
    before: () => {
      window.pushed = 0;
      const commit = IDBTransaction.prototype.commit;
      IDBTransaction.prototype.commit = function () { window.pushed += 1; return commit.call(this); };
      const put = IDBObjectStore.prototype.put;
      IDBObjectStore.prototype.put = function (...args) {
        const request = put.apply(this, args);
        const store = this;
        let spinning = true;
        const spin = () => { if (spinning) store.get(args[1]).onsuccess = spin; };
        window.stopSpinning = () => { spinning = false; };
        spin();
        return request;
      };
    },
  });
  await launched(page, log);
  await page.evaluate(() => window.scrawlet.run('frame\ndown 100 300\nmove 150 320\nup\ndown 30 820\nup\n' +
                                                'choose "Save Scrawlet"'));
  assert.equal(await page.evaluate(() => window.pushed), 0);
  await page.evaluate(() => {
    Object.defineProperty(document, 'visibilityState', { value: 'hidden', configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
    window.stopSpinning();
  });
  assert.equal(await page.evaluate(() => window.pushed), 1, 'hidden: the write under way is pushed through');
  assert.equal(await page.evaluate(() => window.scrawlet.module.storagePersisted()), true);
  const state = await dump(page);
  assert.equal(label(state), state.texts.savedText);
  // Nothing under way: going away pushes nothing, and would ask nothing.
  await page.evaluate(() => window.dispatchEvent(new PageTransitionEvent('pagehide')));
  assert.equal(await page.evaluate(() => window.pushed), 1);
  assert.equal(await page.evaluate(() => window.scrawlet.module._scrawlet_unsaved_changes()), 0);
  await page.close();
});
