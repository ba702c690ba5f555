// What placing phone photos costs in the page, in Chromium: four generated
// 48 MP JPEGs picked one after another through "Add Photo…". Prints, for
// each, the time from choosing to placing, the longest main-thread task
// meanwhile (PerformanceObserver's long tasks) and the wasm heap's size.
//   scripts/web-build && node bench/web-photos.mjs
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { execFileSync } from 'node:child_process';
import { buttons, dump, dumpWhen, fileChoosers, launched, openPage, root, startBrowser, tap, tapTarget } from '../tests/web/chromium.mjs';

const folder = mkdtempSync(join(tmpdir(), 'scrawlet-web-photos-'));
try {
  // Four photos of a phone's size, made by ImageMagick (scripts/setup).
  const photos = [1, 2, 3, 4].map((seed) => {
    const file = join(folder, `photo-${seed}.jpg`);
    execFileSync('convert', ['-size', '8064x6048', `plasma:fractal`, '-seed', String(seed), '-quality', '90', file]);
    return file;
  });
  const browser = await startBrowser();
  const { page, log } = await openPage(browser);
  await launched(page, log);
  await page.evaluate(() => {
    window.longestTaskMs = 0;
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.longestTaskMs = Math.max(window.longestTaskMs, entry.duration);
    }).observe({ type: 'longtask' });
  });
  const choosers = fileChoosers(page);
  for (const [i, photo] of photos.entries()) {
    await tap(page, buttons.menu);
    await tapTarget(page, 'Add Photo…');
    const chooser = await choosers.next();
    await page.evaluate(() => { window.longestTaskMs = 0; window.chosenAt = performance.now(); });
    await chooser.setFiles(photo);
    await dumpWhen(page, (s) => s.lines.length === i + 1, 'the photo placed');
    const figures = await page.evaluate(() => ({
      placedMs: Math.round(performance.now() - window.chosenAt),
      longestTaskMs: Math.round(window.longestTaskMs),
      heapMB: Math.round(window.scrawlet.module.HEAPU8.length / 1048576),
    }));
    const image = (await dump(page)).scene.rootNode.children[i].geometry.material.image;
    console.log(`photo ${i + 1}: ${JSON.stringify(figures)} kept ${image.width} × ${image.height}`);
  }
  await browser.close();
} finally {
  rmSync(folder, { recursive: true, force: true });
}
