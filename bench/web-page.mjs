// Measures the browser build in Debian's headless Chromium (WebGL 2 on
// SwiftShader, so drawing runs on the CPU): the program's size, the time
// from the page starting to load to its first frame, and the time from
// frame to frame while the room is drawn every frame with none, 1,000 and
// 10,000 sprites hanging in it (or the counts given). Not a test:
//   scripts/web-build && node bench/web-page.mjs [COUNT...]
// Compare figures only within one run on one machine.
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { buildDir, launched, openPage, startBrowser } from '../tests/web/chromium.mjs';

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const kib = (bytes) => `${(bytes / 1024).toFixed(0)} KiB`;

for (const file of ['scrawlet.wasm', 'scrawlet.js', 'scrawlet.data']) {
  const bytes = readFileSync(join(buildDir, file));
  console.log(`${file}: ${kib(bytes.length)} (${bytes.length} bytes), ${kib(gzipSync(bytes, { level: 9 }).length)} gzipped`);
}

const browser = await startBrowser();
try {
  const loads = [];
  for (let i = 0; i < 5; ++i) {
    const { page, log } = await openPage(browser);
    loads.push((await launched(page, log)).firstFrameMs);
    await page.close();
  }
  console.log(`page load to first frame: ${Math.round(median(loads))} ms (median of ${loads.length}: ` +
              `${loads.map(Math.round).join(', ')})`);

  const counts = process.argv.length > 2 ? process.argv.slice(2).map(Number) : [0, 1000, 10000];
  for (const count of counts) {
    const { page, log } = await openPage(browser, { setup: 'seed 1' });
    await launched(page, log);
    // One stroke of `count` samples, zig-zagging over the middle of the
    // screen: one sprite each, 1.234 m away.
    const placing = await page.evaluate(async (count) => {
      const lines = ['frame'];
      if (count > 0) lines.push('down 60 200');
      for (let i = 1; i < count; ++i)
        lines.push(`move ${60 + ((i * 7) % 270)} ${200 + ((i * 13) % 500)}`);
      if (count > 0) lines.push('up');
      const start = performance.now();
      const run = await window.scrawlet.run(lines.join('\n'));
      if (run.status !== 0) throw new Error(run.errors.join('\n'));
      return performance.now() - start;
    }, count);
    const frames = await page.evaluate(async (count) => {
      const next = () => new Promise((resolve) => requestAnimationFrame(resolve));
      const draws = [], intervals = [];
      await next();
      let last = performance.now();
      for (let i = 0; i < (count > 10000 ? 8 : 60); ++i) {
        window.scrawlet.module.redraw();
        await next();
        const now = performance.now();
        intervals.push(now - last);
        last = now;
        draws.push(window.scrawlet.stats.drawMs);
      }
      return { draws, intervals, planes: window.scrawlet.stats.planes };
    }, count);
    console.log(`${count} sprites (${frames.planes} drawn): placed in ${Math.round(placing)} ms; ` +
                `drawing a frame ${median(frames.draws).toFixed(1)} ms on the main thread (median), ` +
                `${median(frames.intervals).toFixed(1)} ms from frame to frame`);
    await page.close();
  }
} finally {
  await browser.close();
}
