// What placing phone photos costs in the page, in Chromium: four generated
// 48 MP JPEGs picked one after another through "Add Photo…", then the
// drawing saved. Prints, for each photo, the time from choosing to placing,
// the longest main-thread task meanwhile (PerformanceObserver's long tasks),
// the wasm heap's size, each step the page measures (performance.measure
// entries named "photo …": the file's first bytes read, the browser's
// decode, its pixels read, the pixels handed to the program) and the
// longest frame drawn after it (which uploads the picture); then the same
// for the save, which stores the photos as JPEG files.
//   scripts/web-build && node bench/web-photos.mjs [--main-thread] [FOLDER]
// Making the photos takes minutes: given a FOLDER, they are made there once
// and kept for the next run. --main-thread takes Worker away from the page,
// which then decodes and reads out the pixels on its main thread, as a
// browser without workers does (and as the page did before it had one).
import { existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { execFileSync } from 'node:child_process';
import { buttons, dump, fileChoosers, launched, openPage, startBrowser, tap, tapTarget } from '../tests/web/chromium.mjs';

const mainThread = process.argv.includes('--main-thread');
const kept = process.argv.slice(2).find((arg) => !arg.startsWith('--'));
const folder = kept ?? mkdtempSync(join(tmpdir(), 'scrawlet-web-photos-'));
try {
  // Four photos of a phone's size, made by ImageMagick (scripts/setup).
  mkdirSync(folder, { recursive: true });
  const photos = [1, 2, 3, 4].map((seed) => {
    const file = join(folder, `photo-${seed}.jpg`);
    if (!existsSync(file))
      execFileSync('convert', ['-size', '8064x6048', `plasma:fractal`, '-seed', String(seed), '-quality', '90', file]);
    return file;
  });
  const browser = await startBrowser();
  const { page, log } = await openPage(browser, { before: mainThread ? 'delete window.Worker;' : null });
  await launched(page, log);
  await page.evaluate(() => {
    window.longestTaskMs = 0;
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.longestTaskMs = Math.max(window.longestTaskMs, entry.duration);
    }).observe({ type: 'longtask' });
    // The longest frame drawn since the figures were last taken.
    window.longestFrameMs = 0;
    const page = window.scrawlet.module.page;
    const frameDrawn = page.frameDrawn;
    page.frameDrawn = (planes, milliseconds) => {
      window.longestFrameMs = Math.max(window.longestFrameMs, milliseconds);
      frameDrawn.call(page, planes, milliseconds);
    };
  });
  const start = () => page.evaluate(() => {
    window.longestTaskMs = 0;
    window.longestFrameMs = 0;
    performance.clearMeasures();
    window.startedAt = performance.now();
  });
  // Waits for two more frames, so that the one drawing the new picture is
  // counted, then takes the figures.
  const figures = () => page.evaluate(async () => {
    for (let i = 0; i < 2; ++i) await new Promise((resolve) => requestAnimationFrame(resolve));
    const steps = {};
    for (const entry of performance.getEntriesByType('measure'))
      if (entry.name.startsWith('photo ')) steps[entry.name.slice(6)] = Math.round(entry.duration);
    return {
      ms: Math.round(performance.now() - window.startedAt),
      longestTaskMs: Math.round(window.longestTaskMs),
      longestFrameMs: Math.round(window.longestFrameMs),
      heapMB: Math.round(window.scrawlet.module.HEAPU8.length / 1048576),
      steps,
    };
  });
  const choosers = fileChoosers(page);
  for (const [i, photo] of photos.entries()) {
    await tap(page, buttons.menu);
    await tapTarget(page, 'Add Photo…');
    const chooser = await choosers.next();
    await start();
    await chooser.setFiles(photo);
    // A busy machine's browser may take longer than a test waits.
    for (const until = Date.now() + 180000; (await dump(page)).lines.length !== i + 1;) {
      if (Date.now() > until) throw new Error(`photo ${i + 1} was never placed`);
      await page.waitForTimeout(100);
    }
    const placed = await figures();
    const image = (await dump(page)).scene.rootNode.children[i].geometry.material.image;
    console.log(`photo ${i + 1}: ${JSON.stringify(placed)} kept ${image.width} × ${image.height}`);
  }
  // The save: every photo stored as a JPEG file, then written.
  await tap(page, buttons.menu);
  const writes = await page.evaluate(() => window.scrawlet.module.storageWrites.kept);
  await start();
  await tapTarget(page, 'Save Scrawlet');
  await page.waitForFunction((before) => window.scrawlet.module.storageWrites.kept > before, writes,
                             { timeout: 60000 });
  console.log(`save: ${JSON.stringify(await figures())}`);
  await browser.close();
} finally {
  if (!kept) rmSync(folder, { recursive: true, force: true });
}
