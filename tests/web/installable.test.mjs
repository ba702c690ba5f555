// The page as an app people keep: a manifest with home-screen icons of the
// sizes it names, an icon for iOS, and a service worker that keeps the
// page's files under a cache named after the build, so that after one
// visit the page comes up without a network and a drawing saved before
// loads. The cache's name follows every file the page loads.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { PNG } from './png.mjs';
import { buttons, drag, dump, launched, openPage, root, startBrowser, tap, tapTarget } from './chromium.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

const positions = (state) => state.scene.rootNode.children.flatMap(function all(node) {
  return node.geometry ? [node.position] : node.children.flatMap(all);
});
const label = (state) => state.hud.nodes.find((node) => node.field === 'textLabel').text;

async function fetched(path) {
  const response = await fetch(new URL(path, browser.url));
  assert.equal(response.status, 200, `${path} is served`);
  return { type: response.headers.get('content-type'), body: Buffer.from(await response.arrayBuffer()) };
}

test('the page names its manifest and iOS icon; the manifest parses and its icons are the sizes it says', async () => {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  const links = await page.evaluate(() => ({
    manifest: document.querySelector('link[rel="manifest"]')?.getAttribute('href'),
    appleTouchIcon: document.querySelector('link[rel="apple-touch-icon"]')?.getAttribute('href'),
  }));
  await page.close();
  assert.ok(links.manifest && links.appleTouchIcon, JSON.stringify(links));

  const served = await fetched(links.manifest);
  assert.match(served.type, /^application\/manifest\+json/);
  const manifest = JSON.parse(served.body.toString('utf8'));
  assert.equal(manifest.name, 'Scrawlet');
  assert.equal(manifest.short_name, 'Scrawlet');
  assert.equal(new URL(manifest.start_url, browser.url).href, browser.url);
  assert.ok(['standalone', 'fullscreen'].includes(manifest.display), manifest.display);
  for (const colour of [manifest.theme_color, manifest.background_color]) assert.match(colour, /^#[0-9a-f]{6}$/i);

  const sizes = new Set();
  for (const icon of manifest.icons) {
    const picture = PNG.read((await fetched(icon.src)).body);
    assert.equal(icon.type, 'image/png');
    assert.equal(icon.sizes, `${picture.width}x${picture.height}`, `${icon.src} is the size it says`);
    sizes.add(`${picture.width} ${icon.purpose ?? 'any'}`);
    // A maskable icon fills its square: launchers cut their own shape.
    if (icon.purpose === 'maskable')
      for (const [x, y] of [[0, 0], [picture.width - 1, picture.height - 1]])
        assert.equal(picture.pixel(x, y)[3], 255, `${icon.src} is opaque at its corners`);
  }
  for (const wanted of ['192 any', '512 any', '512 maskable']) assert.ok(sizes.has(wanted), `a ${wanted} icon`);

  const apple = PNG.read((await fetched(links.appleTouchIcon)).body);
  assert.deepEqual([apple.width, apple.height], [180, 180]);
  assert.equal(apple.pixel(0, 0)[3], 255, 'iOS shows no transparency: the icon fills its square');
});

test('after one visit the page comes up offline, old caches are gone, and a drawing saved before loads', async () => {
  // A cache left by an earlier build, there before the worker starts.
  const { page, log } = await openPage(browser, {
    before: () => {
      if (navigator.serviceWorker && !navigator.serviceWorker.controller) caches.open('scrawlet-0123456789abcdef');
    },
  });
  await launched(page, log);
  await drag(page, [[100, 300], [150, 320], [200, 330]]);
  await tap(page, buttons.menu);
  await tapTarget(page, 'Save Scrawlet');
  assert.equal(await page.evaluate(() => window.scrawlet.module.storagePersisted()), true);
  const drawn = await dump(page);
  assert.equal(label(drawn), drawn.texts.savedText);
  await page.evaluate(() => navigator.serviceWorker.ready);

  const worker = (await fetched('sw.js')).body.toString('utf8');
  const cacheName = worker.match(/const cacheName = '(scrawlet-[0-9a-f]{16})';/)?.[1];
  assert.ok(cacheName, 'the worker names its cache after the build');
  const files = JSON.parse(worker.match(/const pageFiles = (\[[^\]]*\]);/)[1].replaceAll("'", '"').replace(/,\s*\]/, ']'));
  for (const file of files) await fetched(file);

  await page.reload();
  await launched(page, log);
  assert.equal(await page.evaluate(() => Boolean(navigator.serviceWorker.controller)), true, 'the worker serves the page');
  assert.deepEqual(await page.evaluate(() => caches.keys()), [cacheName], 'only this build\'s cache is left');

  await browser.context.setOffline(true);
  try {
    await page.reload();
    await launched(page, log);
    await tap(page, buttons.menu);
    await tapTarget(page, 'Load Scrawlet');
    const loaded = await dump(page);
    assert.equal(loaded.lines.length, 1);
    assert.deepEqual(positions(loaded), positions(drawn), 'the drawing saved before, offline');
  } finally {
    await browser.context.setOffline(false);
  }
  await page.close();
});

test('the offline cache is named after the contents of every file the page loads', () => {
  const folder = mkdtempSync(join(tmpdir(), 'scrawlet-offline-cache-'));
  try {
    const template = join(root, 'platform', 'web', 'sw.js');
    const nameFor = (files) => {
      const run = spawnSync('cmake', [`-DBUILD_DIR=${folder}`, `-DTEMPLATE=${template}`, `-DFILES=${files}`,
                                      '-P', join(root, 'platform', 'web', 'OfflineCache.cmake')], { encoding: 'utf8' });
      if (run.status !== 0) return { error: run.stderr };
      return { name: readFileSync(join(folder, 'sw.js'), 'utf8').match(/const cacheName = '([^']*)'/)[1] };
    };
    writeFileSync(join(folder, 'index.html'), '<p>one</p>');
    writeFileSync(join(folder, 'scrawlet.wasm'), 'wasm');
    const first = nameFor('index.html,scrawlet.wasm');
    assert.match(first.name ?? first.error, /^scrawlet-[0-9a-f]{16}$/);
    assert.match(readFileSync(join(folder, 'sw.js'), 'utf8'), /'\.\/',\s*'index\.html',\s*'scrawlet\.wasm',/);
    writeFileSync(join(folder, 'scrawlet.wasm'), 'wasm, rebuilt');
    const second = nameFor('index.html,scrawlet.wasm');
    assert.notEqual(second.name, first.name, 'a changed file names a new cache');
    writeFileSync(join(folder, 'scrawlet.wasm'), 'wasm');
    assert.equal(nameFor('index.html,scrawlet.wasm').name, first.name, 'the same files, the same name');
    const missing = nameFor('index.html,scrawlet.data');
    assert.match(missing.error ?? '', /scrawlet\.data is missing/);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

