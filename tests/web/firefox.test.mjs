// The page in Firefox: Debian's Firefox ESR with a window on a display of
// its own (headless Firefox has no WebGL here), driven over WebDriver BiDi
// by puppeteer-core, with Firefox's fake camera. It comes up without its
// window being given focus (Firefox holds back the list of cameras until
// then, and the page does not wait for it); a stroke is drawn, saved,
// reloaded and loaded; "Use Camera" starts with the fake camera, its view
// fixed for want of an orientation sensor (the tests in engines.mjs).
import { before, after } from 'node:test';
import { existsSync } from 'node:fs';
import puppeteer from 'puppeteer-core';
import { servePage, startDisplay, testsIn } from './engines.mjs';

const firefox = '/usr/bin/firefox-esr';

let display, served, browser, tab;
before(async () => {
  if (!existsSync(firefox)) throw new Error(`${firefox} is missing (scripts/setup installs firefox-esr)`);
  display = await startDisplay();
  served = await servePage();
  browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: firefox,
    headless: false,
    env: display.env,
    defaultViewport: { width: 390, height: 844 },
    extraPrefsFirefox: {
      'media.navigator.streams.fake': true,
      'media.navigator.permission.disabled': true,
    },
  });
  tab = (await browser.pages())[0] ?? await browser.newPage();
});
after(async () => {
  await browser?.close();
  await served?.close();
  await display?.stop();
});

const driver = {
  evaluate: (script) => tab.evaluate(script),
  click: (x, y) => tab.mouse.click(x, y),
  clickElement: (selector) => tab.click(selector),
  drag: async (points) => {
    await tab.mouse.move(...points[0]);
    await tab.mouse.down();
    for (const point of points.slice(1)) await tab.mouse.move(...point, { steps: 3 });
    await tab.mouse.up();
  },
  reload: () => tab.reload(),
};

const keepScreenshot = (name) =>
  process.env.SCRAWLET_WEB_PICTURES ? tab.screenshot({ path: `${process.env.SCRAWLET_WEB_PICTURES}/${name}` }) : null;

testsIn('Firefox', { driver, open: () => tab.goto(served.url), keepScreenshot });
