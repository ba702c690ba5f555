// Measures the browser build in augmented reality, its real mode: the page
// in Debian's headless Chromium on an emulated phone (IWER), with N sprites
// hanging in front of it, the phone held still and the phone moving a
// little every frame (a centimetre's sway and a fraction of a degree's
// turn). For each it reports the page's own main-thread time per XR frame
// (`window.scrawlet.stats.drawMs`: from the frame's callback to its draw
// calls; WebGL hands the pixels to Chromium's GPU process, SwiftShader
// here) and the time from frame to frame. Not a test:
//   scripts/web-build && node bench/web-ar.mjs [COUNT...]
// BUILD_DIR picks another browser build. Compare figures only within one
// run on one machine.
import { launched, openPage, startBrowser } from '../tests/web/chromium.mjs';

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
// The page's clock is coarse (a tenth of a millisecond here): the mean of
// many frames says more than their median.
const mean = (values) => values.reduce((a, b) => a + b, 0) / values.length;
const counts = process.argv.length > 2 ? process.argv.slice(2).map(Number) : [0, 1000, 10000, 100000];

const browser = await startBrowser();
try {
  const rows = [];
  for (const count of counts) {
    const { page, log } = await openPage(browser, { phone: true, setup: 'seed 1' });
    await launched(page, log);
    await page.waitForSelector('#enter-ar', { state: 'visible', timeout: 120000 });
    await page.click('#enter-ar');
    await page.waitForFunction(() => window.scrawlet.stats.xr.state === 'running', null,
                               { timeout: 120000 }).catch(() => { throw new Error(log.join('\n')); });
    // One stroke of `count` samples zig-zagging over the middle of the
    // screen, drawn in the session: one sprite each, 1.234 m from the phone.
    await page.evaluate(async (count) => {
      const lines = [];
      if (count > 0) lines.push('down 60 200');
      for (let i = 1; i < count; ++i)
        lines.push(`move ${60 + ((i * 7) % 270)} ${200 + ((i * 13) % 500)}`);
      if (count > 0) lines.push('up');
      const run = await window.scrawlet.run(lines.join('\n'));
      if (run.status !== 0) throw new Error(run.errors.join('\n'));
    }, count);
    const frames = count >= 100000 ? 6 : count >= 10000 ? 20 : 40;
    for (const moving of [false, true]) {
      // A trace of the page's marks, which carry the main thread's own CPU
      // time as well as the clock's.
      const cdp = await page.context().newCDPSession(page);
      const events = [];
      cdp.on('Tracing.dataCollected', (data) => events.push(...data.value));
      await cdp.send('Tracing.start', { categories: 'blink.user_timing', transferMode: 'ReportEvents' });
      const measured = await page.evaluate(async ({ frames, moving }) => {
        const phone = window.emulatedPhone;
        const stats = window.scrawlet.stats;
        const module = window.scrawlet.module;
        const start = [phone.position.x, phone.position.y, phone.position.z];
        // Each frame's call into the program between two marks; the phone
        // moved after it, so that the next frame starts from a new pose.
        let step = 0;
        const frame = module._scrawlet_xr_frame;
        module._scrawlet_xr_frame = (...args) => {
          performance.mark('xr frame');
          const planes = frame(...args);
          performance.mark('xr frame drawn');
          if (moving) {
            const t = ++step / 10;
            phone.position.set(start[0] + 0.01 * Math.sin(t), start[1] + 0.005 * Math.cos(t), start[2]);
            const yaw = 0.005 * Math.sin(t), pitch = 0.003 * Math.cos(t);
            phone.quaternion.set(Math.sin(pitch / 2), Math.sin(yaw / 2), 0,
                                 Math.cos(yaw / 2) * Math.cos(pitch / 2));
          }
          return planes;
        };
        const next = async (seen) => {
          while (stats.xr.framesSeen <= seen) await new Promise((resolve) => setTimeout(resolve, 1));
        };
        const draws = [], intervals = [];
        let seen = stats.xr.framesSeen;
        // The first frame may have begun before the phone moved.
        await next(seen);
        seen = stats.xr.framesSeen;
        await next(seen);
        seen = stats.xr.framesSeen;
        let last = stats.xr.frames.at(-1).time;
        for (let i = 1; i <= frames; ++i) {
          await next(seen);
          seen = stats.xr.framesSeen;
          const frame = stats.xr.frames.at(-1);
          draws.push(frame.drawMs);
          intervals.push(frame.time - last);
          last = frame.time;
        }
        module._scrawlet_xr_frame = frame;
        phone.position.set(...start);
        phone.quaternion.set(0, 0, 0, 1);
        return { draws, intervals, planes: stats.xr.frames.at(-1).planes };
      }, { frames, moving });
      const complete = new Promise((resolve) => cdp.once('Tracing.tracingComplete', resolve));
      await cdp.send('Tracing.end');
      await complete;
      await cdp.detach();
      // The program's CPU time in each frame measured above: the last
      // `frames` pairs of marks.
      const marks = events.filter((e) => e.name === 'xr frame' || e.name === 'xr frame drawn')
        .sort((a, b) => a.ts - b.ts);
      const cpu = [];
      for (let i = 0; i + 1 < marks.length; ++i)
        if (marks[i].name === 'xr frame' && marks[i + 1].name === 'xr frame drawn')
          cpu.push((marks[i + 1].tts - marks[i].tts) / 1000);
      measured.cpu = cpu.slice(-frames);
      rows.push({ count, moving, ...measured });
      console.log(`${count} sprites (${measured.planes} drawn), phone ${moving ? 'moving' : 'still'}: ` +
                  `the page's own time ${mean(measured.draws).toFixed(2)} ms a frame (mean of ` +
                  `${measured.draws.length}; median ${median(measured.draws).toFixed(1)} ms), ` +
                  `the program's CPU time ${mean(measured.cpu).toFixed(2)} ms (mean; median ` +
                  `${median(measured.cpu).toFixed(2)} ms), ` +
                  `${median(measured.intervals).toFixed(1)} ms from frame to frame (median)`);
    }
    await page.close();
  }
  console.log('\n| sprites | still: own time (mean) | still: CPU (mean) | still: frame to frame (median) | ' +
              'moving: own time (mean) | moving: CPU (mean) | moving: frame to frame (median) |');
  console.log('|---|---|---|---|---|---|---|');
  for (const count of counts) {
    const [still, moving] = [false, true].map((m) => rows.find((r) => r.count === count && r.moving === m));
    console.log(`| ${count.toLocaleString('en')} | ${mean(still.draws).toFixed(2)} ms | ` +
                `${mean(still.cpu).toFixed(2)} ms | ${median(still.intervals).toFixed(1)} ms | ` +
                `${mean(moving.draws).toFixed(2)} ms | ${mean(moving.cpu).toFixed(2)} ms | ` +
                `${median(moving.intervals).toFixed(1)} ms |`);
  }
} finally {
  await browser.close();
}
