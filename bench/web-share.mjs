// Measures sharing a picture in the browser build, in Debian's headless
// Chromium (SwiftShader draws on the CPU) at a phone's 3 pixels per point:
// from the tap on "Share as Picture…" to the file the browser hands on (a
// download here), and of that the page's part: laying the picture over
// its backdrop and the browser's encoding (canvas.toBlob). Not a test:
//   scripts/web-build && node bench/web-share.mjs [TIMES]
// Compare figures only within one run on one machine.
import { buttons, drag, launched, openPage, startBrowser, tap, tapTarget } from '../tests/web/chromium.mjs';

const times = Number(process.argv[2] ?? 5);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

const browser = await startBrowser({ scale: 3 });
try {
  const toFile = [], inPage = [];
  for (let i = 0; i < times; ++i) {
    const { page, log } = await openPage(browser);
    await launched(page, log);
    await drag(page, [[100, 300], [200, 330]]);
    await tap(page, buttons.menu);
    const download = page.waitForEvent('download');
    const started = Date.now();
    await tapTarget(page, 'Share as Picture…');
    const file = await download;
    toFile.push(Date.now() - started);
    inPage.push((await page.evaluate(() => window.scrawlet.stats.shared)).ms);
    await file.delete();
    await page.close();
  }
  const show = (values) => `${Math.round(median(values))} ms (median of ${values.length}: ${values.map(Math.round).join(', ')})`;
  console.log(`tap to the shared file (1170 × 2442 pixels): ${show(toFile)}`);
  console.log(`of which laying it over its backdrop and encoding it in the browser: ${show(inPage)}`);
} finally {
  await browser.close();
}
