// Two fingers on the page's touch screen: a second finger that comes down
// while the first is drawing files the first finger's stroke, so that
// undo and clear reach every sprite either finger placed.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { dump, dumpWhen, launched, openPage, startBrowser } from './chromium.mjs';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

const spritesOf = (state) => state.scene.rootNode.children.flatMap(function all(node) {
  return node.geometry ? [node] : node.children.flatMap(all);
});
const filed = (state) => state.lines.flat().length;

// Sends touch events whose touch points are the fingers still down, each
// `apartMs` after the last in the input's own time.
async function fingers(page) {
  const cdp = await page.context().newCDPSession(page);
  let time = Date.now() / 1000;
  return {
    send(type, down) {
      time += 0.02;
      const touchPoints = Object.entries(down).map(([id, [x, y]]) => ({ id: Number(id), x, y }));
      return cdp.send('Input.dispatchTouchEvent', { type, touchPoints, timestamp: time });
    },
    detach: () => cdp.detach(),
  };
}

test('a second finger mid-stroke files the first stroke, and clearing then leaves no sprite behind', async () => {
  const { page, log } = await openPage(browser, { touch: true });
  await launched(page, log);
  const touch = await fingers(page);
  await touch.send('touchStart', { 1: [100, 300] });
  await touch.send('touchMove', { 1: [120, 320] });
  await touch.send('touchMove', { 1: [140, 340] });
  await touch.send('touchStart', { 1: [140, 340], 2: [200, 400] });
  await touch.send('touchMove', { 1: [150, 350], 2: [220, 420] });
  await touch.send('touchEnd', { 2: [220, 420] });
  await touch.send('touchEnd', {});
  await touch.detach();

  const drawn = await dumpWhen(page, (state) => state.lines.length === 2, 'both fingers\' strokes filed');
  assert.ok(drawn.lines[0].length >= 2, `the first finger's stroke is filed whole: ${JSON.stringify(drawn.lines)}`);
  assert.equal(filed(drawn), spritesOf(drawn).length, 'every sprite in the room belongs to a filed stroke');

  const run = await page.evaluate(() => window.scrawlet.run('shake\nchoose OK'));
  assert.equal(run.status, 0, run.errors.join('\n'));
  const cleared = await dump(page);
  assert.deepEqual(cleared.lines, []);
  assert.equal(spritesOf(cleared).length, 0, 'clearing leaves no sprite behind');
  assert.deepEqual(log.filter((line) => line.startsWith('pageerror')), []);
});
