// What placing phone photos costs in the page, in Chromium: four generated
// 48 MP JPEGs picked one after another through "Add Photo…", then the
// drawing saved. Prints, for each photo, the time from choosing to placing,
// the longest main-thread task meanwhile (PerformanceObserver's long tasks),
// the wasm heap's size, each step the page measures (performance.measure
// entries named "photo …": the file's first bytes read, the browser's
// decode, its pixels read, the pixels handed to the program) and the
// longest frame drawn after it (which uploads the picture; a page that
// uploads it a band a frame is waited for until it is whole), each long
// task (over 100 ms) as its start from when the pixels were handed to the
// program (negative while the photo was decoded) + its length, and from a trace
// the main thread's longest task (and its own CPU time) and its busiest (by
// its own CPU time);
// then the same for the save, which stores the photos as JPEG files (those
// the page has not stored while idle yet). BUILD_DIR picks another browser
// build, as for bench/web-ar.mjs.
//   scripts/web-build && node bench/web-photos.mjs [--main-thread] [--frames] [FOLDER]
// Making the photos takes minutes: given a FOLDER, they are made there once
// and kept for the next run. --main-thread takes Worker away from the page,
// which then decodes and reads out the pixels on its main thread, as a
// browser without workers does (and as the page did before it had one).
// The bench waits for each photo without making the page draw (a script's
// `dump` would: every script marks the page for a frame); --frames has it
// draw a frame every 100 ms meanwhile, as when the person draws on while a
// photo is read. (With its GPU process emulated on the CPU and software
// compositing, each frame's commit waits for the frame to be drawn and read
// back: 50–200 ms here even with no photo being read.)
import { existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { execFileSync } from 'node:child_process';
import { buttons, dump, fileChoosers, launched, openPage, startBrowser, tap, tapTarget } from '../tests/web/chromium.mjs';

const mainThread = process.argv.includes('--main-thread');
const frames = process.argv.includes('--frames');
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
    window.longTasks = [];
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) {
        window.longestTaskMs = Math.max(window.longestTaskMs, entry.duration);
        window.longTasks.push(entry);
      }
    }).observe({ type: 'longtask' });
    // The longest frame drawn since the figures were last taken.
    window.longestFrameMs = 0;
    const page = window.scrawlet.module.page;
    const frameDrawn = page.frameDrawn;
    page.frameDrawn = (planes, milliseconds, ...rest) => {
      window.longestFrameMs = Math.max(window.longestFrameMs, milliseconds);
      frameDrawn.call(page, planes, milliseconds, ...rest);
    };
  });
  // A trace of the page's main thread meanwhile: its longest task, by the
  // clock and by the thread's own CPU time (on a busy machine, or with the
  // GPU emulated on the CPU, a task may mostly wait for the GPU process),
  // and what took most of it.
  const cdp = await page.context().newCDPSession(page);
  let events = [];
  cdp.on('Tracing.dataCollected', (data) => events.push(...data.value));
  const traced = async () => {
    const complete = new Promise((resolve) => cdp.once('Tracing.tracingComplete', resolve));
    await cdp.send('Tracing.end');
    await complete;
    const main = new Set(events.filter((e) => e.name === 'thread_name' && e.args.name === 'CrRendererMain')
      .map((e) => `${e.pid}:${e.tid}`));
    const onMain = events.filter((e) => e.ph === 'X' && main.has(`${e.pid}:${e.tid}`));
    const tasks = onMain.filter((e) => e.name === 'RunTask');
    const longest = tasks.reduce((a, b) => (b.dur > (a?.dur ?? -1) ? b : a), null);
    const busiest = tasks.reduce((a, b) => ((b.tdur ?? 0) > (a?.tdur ?? -1) ? b : a), null);
    const within = (task) => onMain.filter((e) => e !== task && e.name !== 'ThreadControllerImpl::RunTask' &&
      e.ts >= task.ts && e.ts + e.dur <= task.ts + task.dur).sort((a, b) => b.dur - a.dur)[0]?.name ?? '';
    events = [];
    return {
      longestTaskMs: Math.round((longest?.dur ?? 0) / 1000), longestIs: longest ? within(longest) : '',
      longestTaskCpuMs: Math.round((longest?.tdur ?? 0) / 1000),
      busiestTaskCpuMs: Math.round((busiest?.tdur ?? 0) / 1000), busiestIs: busiest ? within(busiest) : '',
    };
  };
  const start = () => cdp.send('Tracing.start', {
    categories: 'toplevel,devtools.timeline,disabled-by-default-devtools.timeline', transferMode: 'ReportEvents',
  }).then(() => page.evaluate(() => {
    window.longestTaskMs = 0;
    window.longTasks = [];
    window.longestFrameMs = 0;
    performance.clearMeasures();
    window.startedAt = performance.now();
  }));
  // Waits for two more frames, so that the one drawing the new picture is
  // counted, then takes the figures.
  const figures = async () => ({ ...(await page.evaluate(async () => {
    // A page that uploads a picture a band a frame draws until it is whole.
    while (window.scrawlet.stats.uploading) await new Promise((resolve) => requestAnimationFrame(resolve));
    for (let i = 0; i < 2; ++i) await new Promise((resolve) => requestAnimationFrame(resolve));
    const steps = {};
    for (const entry of performance.getEntriesByType('measure'))
      if (entry.name.startsWith('photo ')) steps[entry.name.slice(6)] = Math.round(entry.duration);
    // The long tasks (over 100 ms): when each began, from when the pixels
    // were handed to the program (negative: while the photo was decoded),
    // and how long it took.
    const handed = performance.getEntriesByName('photo into the program')[0];
    const from = handed ? handed.startTime + handed.duration : window.startedAt;
    return {
      ms: Math.round(performance.now() - window.startedAt),
      longestTaskMs: Math.round(window.longestTaskMs),
      longTasks: window.longTasks.filter((task) => task.duration > 100)
        .map((task) => `${Math.round(task.startTime - from)}+${Math.round(task.duration)}`).join(' '),
      longestFrameMs: Math.round(window.longestFrameMs),
      heapMB: Math.round(window.scrawlet.module.HEAPU8.length / 1048576),
      steps,
    };
  })), mainThread: await traced() });
  const choosers = fileChoosers(page);
  for (const [i, photo] of photos.entries()) {
    await tap(page, buttons.menu);
    await tapTarget(page, 'Add Photo…');
    const chooser = await choosers.next();
    await start();
    await chooser.setFiles(photo);
    // Until the pixels reach the program, without a frame asked for (or
    // with one every 100 ms). A busy machine's browser may take longer
    // than a test waits.
    await page.waitForFunction((frames) => {
      if (frames && !(window.lastAsked > performance.now() - 100)) {
        window.lastAsked = performance.now();
        window.scrawlet.module.redraw();
      }
      return performance.getEntriesByName('photo into the program').length > 0;
    }, frames, { polling: frames ? 20 : 100, timeout: 180000 });
    if ((await dump(page)).lines.length !== i + 1) throw new Error(`photo ${i + 1} was never placed`);
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
