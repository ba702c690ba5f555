// The page in WebKit, the engine of every iPhone browser: Debian's
// WebKitGTK MiniBrowser on a display of its own, driven over WebDriver by
// selenium-webdriver, with WebKit's mock cameras. It comes up without being
// given focus; a stroke is drawn, saved, reloaded and loaded; "Use Camera"
// starts with the mock camera, and since WebKitGTK has no orientation
// events the view stays fixed and the page says it cannot turn.
import { before, after } from 'node:test';
import { spawn } from 'node:child_process';
import { existsSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { Builder, By, Origin } from 'selenium-webdriver';
import { servePage, startDisplay, testsIn } from './engines.mjs';

const miniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

const freePort = () => new Promise((resolve, reject) => {
  const probe = createServer();
  probe.once('error', reject);
  probe.listen(0, '127.0.0.1', () => {
    const { port } = probe.address();
    probe.close(() => resolve(port));
  });
});

// Waits until the driver answers on its port: on a busy machine it starts
// listening some time after it was spawned, and a session asked for before
// then is refused. Two minutes without an answer is a driver that hangs.
async function listening(child, status) {
  let exited = null;
  child.once('exit', (code) => { exited = code; });
  for (const until = Date.now() + 120000; ;) {
    if (exited !== null) throw new Error(`WebKitWebDriver ended (status ${exited}) before it answered`);
    if (Date.now() > until) throw new Error('WebKitWebDriver did not answer on its port within two minutes');
    try {
      if ((await fetch(status)).ok) return;
    } catch {
      // Not listening yet.
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

let display, page, driverProcess, session;
before(async () => {
  for (const needed of [miniBrowser, '/usr/bin/WebKitWebDriver'])
    if (!existsSync(needed)) throw new Error(`${needed} is missing (scripts/setup installs webkit2gtk-driver)`);
  display = await startDisplay();
  page = await servePage();
  const port = await freePort();
  driverProcess = spawn('WebKitWebDriver', [`--port=${port}`], {
    env: display.env, stdio: 'ignore',
  });
  await listening(driverProcess, `http://127.0.0.1:${port}/status`);
  session = await new Builder()
    .usingServer(`http://127.0.0.1:${port}`)
    .withCapabilities({
      browserName: 'MiniBrowser',
      'webkitgtk:browserOptions': {
        binary: miniBrowser,
        args: ['--automation', '--enable-media-stream=true', '--enable-mock-capture-devices=true'],
      },
    })
    .build();
  await session.manage().window().setRect({ width: 390, height: 844 });
});
after(async () => {
  await session?.quit().catch(() => {});
  driverProcess?.kill();
  await page?.close();
  await display?.stop();
});

// The steps every engine's test takes, through WebDriver.
const driver = {
  evaluate: (script) => session.executeScript(script),
  click: (x, y) => session.actions().move({ x, y, origin: Origin.VIEWPORT }).press().release().perform(),
  clickElement: async (selector) => (await session.findElement(By.css(selector))).click(),
  drag: async (points) => {
    let actions = session.actions().move({ x: points[0][0], y: points[0][1], origin: Origin.VIEWPORT }).press();
    for (const [x, y] of points.slice(1)) actions = actions.move({ x, y, origin: Origin.VIEWPORT, duration: 60 });
    await actions.release().perform();
  },
  reload: () => session.navigate().refresh(),
};

const keepScreenshot = async (name) => {
  if (!process.env.SCRAWLET_WEB_PICTURES) return;
  writeFileSync(`${process.env.SCRAWLET_WEB_PICTURES}/${name}`, Buffer.from(await session.takeScreenshot(), 'base64'));
};

testsIn('WebKit', { driver, open: () => session.get(page.url), keepScreenshot });
