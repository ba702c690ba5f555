// The page in WebKit, the engine of every iPhone browser: Debian's
// WebKitGTK MiniBrowser on a display of its own, driven over WebDriver by
// selenium-webdriver, with WebKit's mock cameras. It comes up without being
// given focus; a stroke is drawn, saved, reloaded and loaded; "Use Camera"
// starts with the mock camera, and since WebKitGTK has no orientation
// events the view stays fixed and the page says it cannot turn.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { existsSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { Builder, By, Origin } from 'selenium-webdriver';
import { drawSaveReloadLoad, dump, ready, servePage, startCamera, startDisplay } from './engines.mjs';

const miniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

const freePort = () => new Promise((resolve, reject) => {
  const probe = createServer();
  probe.once('error', reject);
  probe.listen(0, '127.0.0.1', () => {
    const { port } = probe.address();
    probe.close(() => resolve(port));
  });
});

let display, page, driverProcess, session;
before(async () => {
  for (const needed of [miniBrowser, '/usr/bin/WebKitWebDriver'])
    if (!existsSync(needed)) throw new Error(`${needed} is missing (scripts/setup installs webkit2gtk-driver)`);
  display = await startDisplay();
  page = await servePage();
  const port = await freePort();
  driverProcess = spawn('WebKitWebDriver', [`--port=${port}`], {
    env: { ...process.env, DISPLAY: display.display }, stdio: 'ignore',
  });
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

test('WebKit: the page comes up by itself; a stroke is drawn, saved, reloaded and loaded', async () => {
  await session.get(page.url);
  await ready(driver);
  await drawSaveReloadLoad(driver);
  await keepScreenshot('webkit-room.png');
});

test('WebKit: "Use Camera" starts with the mock camera; without orientation events the view stays fixed', async () => {
  await session.get(page.url);
  await ready(driver);
  const camera = await startCamera(driver);
  assert.equal(camera.sensor, 'missing');
  assert.match(await driver.evaluate(() => document.getElementById('note').textContent), /cannot turn the view/);
  const start = (await dump(driver)).session.cameraTransform;
  const size = await driver.evaluate(() => [innerWidth, innerHeight]);
  await driver.click(Math.round(size[0] / 2), Math.round(size[1] / 2));
  const state = await dump(driver);
  assert.deepEqual(state.session.cameraTransform, start, 'the view has not moved');
  assert.equal(state.lines.length, 1, 'a tap draws over the camera');
  await keepScreenshot('webkit-camera.png');
});
