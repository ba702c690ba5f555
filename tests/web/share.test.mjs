// "Share as Picture…" hands the browser's share sheet the picture with the
// app's own text ("Picture", as the share sheet carries it) where the
// browser says it can share both, and the picture alone where it can share
// files but not text with them.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { buttons, drag, dumpWhen, launched, openPage, startBrowser, tap, tapTarget } from './chromium.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

// A browser that shares files, and text with them when `withText` says so;
// what it was asked to share is kept.
const sharingBrowser = (withText) => ({ withText }) => {
  window.shared = [];
  navigator.canShare = (data) => Array.isArray(data.files) && data.files.length > 0 &&
    (data.text === undefined || withText);
  navigator.share = (data) => {
    window.shared.push({
      text: data.text ?? null,
      files: (data.files ?? []).map((file) => [file.name, file.type, file.size]),
    });
    return Promise.resolve();
  };
};

for (const withText of [true, false]) {
  test(`a browser that shares files ${withText ? 'and text' : 'but no text with them'} gets ${withText ? 'both' : 'the picture alone'}`, async () => {
    const { page, log } = await openPage(browser);
    await page.addInitScript(sharingBrowser(withText), { withText });
    await page.reload();
    await launched(page, log);
    await drag(page, [[100, 300], [200, 330]]);
    await tap(page, buttons.menu);
    await tapTarget(page, 'Share as Picture…');
    const state = await dumpWhen(page, (s) => s.presented === null, 'the sheet done with');
    assert.equal(state.lines.length, 1);
    const shared = await page.evaluate(() => window.shared);
    assert.equal(shared.length, 1, log.join('\n'));
    assert.equal(shared[0].text, withText ? 'Picture' : null);
    assert.equal(shared[0].files.length, 1);
    assert.match(shared[0].files[0][0], /^Scrawlet .*\.png$/);
    assert.equal(shared[0].files[0][1], 'image/png');
    assert.ok(shared[0].files[0][2] > 1000, 'the picture has its bytes');
    await page.close();
  });
}
