// The page in the person's language: the browser's preferred language
// (Playwright's locale) chooses the app's texts and the page's own (its
// note, the round buttons' names, the canvas's name, and the message of a
// browser that cannot draw, or that lacks the program), with the app's
// three languages and rules, whatever case the browser writes the tag in.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { dump, launched, openPage, startBrowser } from './chromium.mjs';

const english = {
  welcome: "Let's Scrawlet!", room: /drawing in the simulated room/, buttons: ['Menu', 'Undo', 'Clear'],
  canvas: 'The room and your drawing', noWebGl: 'This browser cannot show Scrawlet: it offers no WebGL 2.',
  noScript: 'Scrawlet could not be loaded: scrawlet.js is missing.',
  lang: 'en',
};
const simplified = {
  welcome: '开始涂鸦吧！', room: /在模拟房间中绘画/, buttons: ['菜单', '撤销', '清除'],
  canvas: '房间和你的绘画', noWebGl: '此浏览器无法显示 Scrawlet：它不支持 WebGL 2。', lang: 'zh-Hans',
  noScript: '无法载入 Scrawlet：缺少 scrawlet.js。',
};
const traditional = {
  welcome: '開始塗鴉吧！', room: /在模擬房間中繪畫/, buttons: ['選單', '復原', '清除'],
  canvas: '房間和你的繪畫', noWebGl: '此瀏覽器無法顯示 Scrawlet：它不支援 WebGL 2。', lang: 'zh-Hant',
  noScript: '無法載入 Scrawlet：缺少 scrawlet.js。',
};

// [the browser's locale, the tag the app receives, the texts expected].
// Chromium takes no C or POSIX locale (nor an empty one): there the page is
// handed that tag in place of the browser's, over a Chinese browser, so
// that only reading the tag as no language gives English.
const cases = [
  ['zh-Hans', 'zh-Hans', simplified],
  ['zh-Hans-CN', 'zh-Hans-CN', simplified],
  ['ZH-HANS', 'zh-Hans', simplified],
  ['zh-hans-cn', 'zh-Hans-CN', simplified],
  ['zh-CN', 'zh-Hans-CN', simplified],
  ['zh-SG', 'zh-Hans-SG', simplified],
  ['zh-Hant', 'zh-Hant', traditional],
  ['zh-Hant-TW', 'zh-Hant-TW', traditional],
  ['zh-HANT-tw', 'zh-Hant-TW', traditional],
  ['zh-TW', 'zh-Hant-TW', traditional],
  ['zh-HK', 'zh-HK', traditional],
  ['zh-MO', 'zh-Hant-MO', traditional],
  ['en-GB', 'en-GB', english],
  [{ tag: 'C' }, 'en-US', english],
  [{ tag: 'POSIX' }, 'en-US', english],
  [{ tag: '' }, 'en-US', english],
];

// The browser's languages replaced by `tag` before the page reads them.
const handedTag = (tag) => {
  Object.defineProperty(Navigator.prototype, 'languages', { get: () => [tag] });
  Object.defineProperty(Navigator.prototype, 'language', { get: () => tag });
};

for (const [locale, tag, texts] of cases) {
  const name = typeof locale === 'string' ? locale : `"${locale.tag}" (handed to the page)`;
  test(`a browser preferring ${name} sees ${texts.lang} texts everywhere`, async () => {
    // Without the service worker, which would serve the program the test
    // keeps from the page.
    const browser = await startBrowser({
      locale: typeof locale === 'string' ? locale : 'zh-Hant-TW', serviceWorkers: 'block',
    });
    try {
      const before = typeof locale === 'string' ? null : [handedTag, locale.tag];
      const open = () => (before ? browser.context.newPage().then(async (page) => {
        await page.addInitScript(...before);
        await page.goto(browser.url);
        return { page, log: [] };
      }) : openPage(browser));

      const { page, log } = await open();
      await launched(page, log);
      const state = await dump(page);
      assert.equal(state.language, tag, 'the tag the app receives');
      assert.equal(state.texts.welcomeText, texts.welcome, 'the app speaks the language');
      assert.equal(await page.getAttribute('html', 'lang'), texts.lang);
      await page.waitForSelector('#note', { state: 'visible' });
      assert.match(await page.textContent('#note'), texts.room, 'the first screen\'s note');
      await page.waitForSelector('#hud-mirror button');
      assert.deepEqual(await page.$$eval('#hud-mirror button', (all) => all.map((b) => b.getAttribute('aria-label'))),
                       texts.buttons, 'the round buttons\' names');
      assert.equal(await page.getAttribute('#canvas', 'aria-label'), texts.canvas);
      await page.close();

      // A browser that cannot draw says so in the same language.
      const noWebGl = await browser.context.newPage();
      if (before) await noWebGl.addInitScript(...before);
      await noWebGl.addInitScript(() => {
        const getContext = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
          return kind === 'webgl2' ? null : getContext.call(this, kind, ...rest);
        };
      });
      await noWebGl.goto(browser.url);
      await assert.rejects(noWebGl.evaluate(() => window.scrawlet.ready));
      assert.equal(await noWebGl.textContent('#message'), texts.noWebGl);
      await noWebGl.close();

      // Without the program the page reads the language itself.
      const noScript = await browser.context.newPage();
      if (before) await noScript.addInitScript(...before);
      await noScript.route('**/scrawlet.js', (route) => route.abort());
      await noScript.goto(browser.url);
      await assert.rejects(noScript.evaluate(() => window.scrawlet.ready));
      assert.equal(await noScript.textContent('#message'), texts.noScript);
      await noScript.close();
    } finally {
      await browser.close();
    }
  });
}
