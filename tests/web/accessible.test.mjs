// The page as a screen reader and the keyboard reach it: the round buttons
// are buttons with names, in order, over where they are drawn; the text
// line is a polite live region; the menu and alerts are modal dialogs that
// take the focus and give it back; Esc and Enter do what they do over the
// canvas, and Enter never clears the drawing. The mirror draws nothing. An
// axe audit finds no WCAG 2.1 A or AA violation in the room, with the menu
// open, with an alert, and in camera-through mode.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { AxeBuilder } from '@axe-core/playwright';
import { PNG } from './png.mjs';
import { buttons, drag, dump, dumpWhen, launched, openPage, startCameraBrowser, tap } from './chromium.mjs';

let browser;
before(async () => { browser = await startCameraBrowser(); });
after(async () => { await browser?.close(); });

// Every WCAG 2.1 A and AA rule; what it finds, named for the failure.
async function audit(page, where) {
  const results = await new AxeBuilder({ page }).withTags(['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa']).analyze();
  const found = results.violations.map((v) => `${v.id}: ${v.help} (${v.nodes.map((n) => n.target.join(' ')).join(', ')})`);
  assert.deepEqual(found, [], `${where}: no violations`);
  assert.ok(results.passes.length > 0, `${where}: the rules ran`);
}

async function openRoom() {
  const { page, log } = await openPage(browser);
  await launched(page, log);
  await page.waitForSelector('#hud-mirror button');
  return page;
}

const focused = (page) => page.evaluate(() => {
  const element = document.activeElement;
  return { label: element.getAttribute('aria-label'), inDialog: !!element.closest('#dialog-mirror'),
           style: element.dataset.style ?? null };
});
const dialogShown = (page) => page.waitForSelector('#dialog-mirror:not([hidden]) button');
const dialogHidden = (page) => page.waitForSelector('#dialog-mirror', { state: 'hidden' });
const labelOf = (state) => state.hud.nodes.find((node) => node.field === 'textLabel').text;

test('no WCAG 2.1 A or AA violations in the room, with the menu, with an alert, and in camera-through mode', async () => {
  const page = await openRoom();
  await audit(page, 'the room');
  await tap(page, buttons.menu);
  await dialogShown(page);
  await audit(page, 'the menu');
  await page.keyboard.press('Escape');
  await dialogHidden(page);
  await tap(page, buttons.clear);
  await dialogShown(page);
  assert.equal(await page.getAttribute('#dialog-mirror', 'role'), 'alertdialog');
  await audit(page, 'the clear alert');
  await page.close();

  // A phone without WebXR: "Use Camera" shows the fake camera's room.
  const { page: phone, log } = await openPage(browser, {
    before: () => {
      delete Navigator.prototype.xr;
      for (const kind of [window.DeviceOrientationEvent, window.DeviceMotionEvent])
        kind.requestPermission = () => Promise.resolve('granted');
    },
  });
  await launched(phone, log);
  await phone.click('#enter-ar');
  await phone.waitForFunction(() => window.scrawlet.stats.camera.state === 'running', null, { timeout: 20000 });
  await phone.waitForSelector('#hud-mirror button');
  await audit(phone, 'camera-through mode');
  await phone.close();
});

test('the round buttons are named buttons over their discs, in order, and the canvas and the text line are announced', async () => {
  const page = await openRoom();
  const state = await dump(page);
  const mirrored = await page.$$eval('#hud-mirror button', (all) => all.map((b) => {
    const box = b.getBoundingClientRect();
    return { label: b.getAttribute('aria-label'), centre: [box.x + box.width / 2, box.y + box.height / 2] };
  }));
  assert.deepEqual(mirrored.map((b) => b.label), ['Menu', 'Undo', 'Clear']);
  const discs = ['menuButton', 'undoButton', 'deleteButton'].map((field) => state.hud.nodes.find((n) => n.field === field));
  discs.forEach((disc, i) => {
    const [x, y] = mirrored[i].centre;
    assert.ok(Math.abs(x - disc.position[0]) < 0.5 && Math.abs(y - (state.hud.size[1] - disc.position[1])) < 0.5,
              `${mirrored[i].label} lies over its disc`);
  });
  assert.equal(await page.getAttribute('#canvas', 'role'), 'img');
  assert.equal(await page.getAttribute('#hud-text', 'aria-live'), 'polite');
  assert.equal(await page.textContent('#hud-text'), labelOf(state));

  // A press of a button or a choice that is not there does nothing.
  await page.evaluate(() => {
    window.scrawlet.module._scrawlet_mirror_press(7);
    window.scrawlet.module._scrawlet_mirror_press(-1);
    window.scrawlet.module._scrawlet_mirror_choose(0);
  });
  const after = await dump(page);
  assert.deepEqual([after.presented, after.lines], [null, []], 'nothing pressed');

  // Tab reaches the three in order.
  const reached = [];
  for (let i = 0; i < 6 && reached.length < 3; ++i) {
    await page.keyboard.press('Tab');
    const { label } = await focused(page);
    if (['Menu', 'Undo', 'Clear'].includes(label)) reached.push(label);
  }
  assert.deepEqual(reached, ['Menu', 'Undo', 'Clear']);
  await page.close();
});

test('Enter on the menu button opens the menu as a dialog that takes the focus; Esc closes it and gives the focus back', async () => {
  const page = await openRoom();
  await page.focus('#hud-mirror button[aria-label="Menu"]');
  await page.keyboard.press('Enter');
  await dialogShown(page);
  let state = await dump(page);
  assert.equal(state.presented?.preferredStyle, 'actionSheet', 'the menu is open');
  const dialog = await page.$eval('#dialog-mirror', (d) => ({
    role: d.getAttribute('role'), modal: d.getAttribute('aria-modal'),
    name: document.getElementById(d.getAttribute('aria-labelledby')).textContent,
    choices: Array.from(d.querySelectorAll('button'), (b) => b.getAttribute('aria-label')),
  }));
  assert.deepEqual(dialog, {
    role: 'dialog', modal: 'true', name: state.presented.message,
    choices: state.presented.actions.map((a) => a.title),
  });
  assert.equal((await focused(page)).inDialog, true, 'the focus is in the dialog');
  assert.equal(await page.evaluate(() => document.getElementById('hud-mirror').inert), true,
               'the buttons under it are out of reach');
  // Tab goes round its buttons and stays in it.
  for (let i = 0; i < dialog.choices.length + 1; ++i) {
    await page.keyboard.press('Tab');
    assert.equal((await focused(page)).inDialog, true, `Tab ${i + 1} stays in the dialog`);
  }
  await page.keyboard.press('Escape');
  await dialogHidden(page);
  state = await dump(page);
  assert.equal(state.presented, null, 'Esc cancels the menu');
  assert.equal((await focused(page)).label, 'Menu', 'the focus is back on the menu button');

  // A choice pressed with the keys acts as a tap on it: the drawing saves
  // and the live region says so.
  await page.keyboard.press('Enter');
  await dialogShown(page);
  for (let i = 0; i < 8 && (await focused(page)).label !== state.texts.saveText; ++i) await page.keyboard.press('Tab');
  assert.equal((await focused(page)).label, state.texts.saveText);
  await page.keyboard.press('Enter');
  await dialogHidden(page);
  await page.waitForFunction((text) => document.getElementById('hud-text').textContent === text, state.texts.savedText);
  assert.equal(labelOf(await dump(page)), state.texts.savedText);
  await page.close();
});

test('in the clear alert Enter chooses Cancel even on the red OK, and Space on OK clears', async () => {
  const page = await openRoom();
  await drag(page, [[100, 300], [200, 400]]);
  assert.equal((await dump(page)).lines.length, 1);
  await page.focus('#hud-mirror button[aria-label="Clear"]');
  await page.keyboard.press('Enter');
  await dialogShown(page);
  let state = await dump(page);
  assert.equal(state.presented?.message, state.texts.clearText);
  assert.equal((await focused(page)).label, state.texts.cancelText, 'the focus starts on Cancel');
  await page.keyboard.press('Tab');
  assert.deepEqual(await focused(page), { label: state.texts.okText, inDialog: true, style: 'destructive' });
  await page.keyboard.press('Enter');
  await dialogHidden(page);
  state = await dump(page);
  assert.deepEqual([state.presented, state.lines.length], [null, 1], 'Enter keeps the drawing');
  assert.equal((await focused(page)).label, 'Clear', 'the focus is back');

  await page.keyboard.press('Enter');
  await dialogShown(page);
  await page.keyboard.press('Tab');
  await page.keyboard.press('Space');
  state = await dumpWhen(page, (s) => s.presented === null, 'the alert gone');
  assert.equal(state.lines.length, 0, 'Space on OK clears');
  await page.close();
});

test('the mirror draws nothing over the canvas and leaves the drawing gestures to it', async () => {
  const page = await openRoom();
  await tap(page, buttons.menu);
  await dialogShown(page);
  const hide = (hidden) => page.evaluate((hidden) => {
    for (const id of ['hud-mirror', 'dialog-mirror']) document.getElementById(id).style.display = hidden ? 'none' : '';
  }, hidden);
  const withMirror = PNG.read(await page.screenshot());
  await hide(true);
  const without = PNG.read(await page.screenshot());
  await hide(false);
  assert.equal(withMirror.width, without.width);
  assert.ok(Buffer.compare(Buffer.from(withMirror.pixels), Buffer.from(without.pixels)) === 0,
            'the page looks the same with and without the mirror');
  await page.keyboard.press('Escape');
  await dialogHidden(page);
  // A stroke that starts and ends on the mirrored buttons' row draws.
  await drag(page, [[150, 810], [250, 790]]);
  assert.equal((await dump(page)).lines.length, 1, 'a stroke beside the buttons draws');
  await page.close();
});
