// Makes the pictures of the page for docs/web.md, in headless Chromium:
// docs/web-room.png (the simulated room, drawn in with the mouse) and
// docs/web-ar.png (augmented reality on the emulated phone in its captured
// room). Run by scripts/make-web-pictures after a browser build.
import { join } from 'node:path';
import { launched, openPage, root, startBrowser } from '../tests/web/chromium.mjs';

// A stroke through `points`, dragged with the mouse.
async function stroke(page, points) {
  await page.mouse.move(...points[0]);
  await page.mouse.down();
  for (const point of points.slice(1)) await page.mouse.move(...point, { steps: 3 });
  await page.mouse.up();
}

const smile = [[80, 300], [120, 335], [160, 358], [200, 365], [240, 358], [280, 335], [310, 300]];
const wave = [[110, 520], [150, 500], [195, 495], [240, 505], [280, 525]];

const browser = await startBrowser({ scale: 2 });
try {
  const { page: room, log } = await openPage(browser, { setup: 'seed 7' });
  await launched(room, log);
  // A page with set-up commands waits for its scripts' frames until someone
  // walks: the first one comes from here.
  await room.evaluate(() => window.scrawlet.run('frame'));
  await stroke(room, smile);
  await stroke(room, wave);
  // A step to the side and a turn back: the drawing hangs in the room.
  await room.keyboard.down('KeyD');
  await room.waitForTimeout(250);
  await room.keyboard.up('KeyD');
  await room.mouse.move(200, 600);
  await room.mouse.down({ button: 'right' });
  await room.mouse.move(140, 600, { steps: 4 });
  await room.mouse.up({ button: 'right' });
  await room.waitForTimeout(200);
  await room.screenshot({ path: join(root, 'docs/web-room.png') });
  await room.close();

  const { page: phone, log: phoneLog } = await openPage(browser, { phone: true, setup: 'seed 4' });
  await launched(phone, phoneLog);
  await phone.click('#enter-ar');
  await phone.waitForFunction(() => window.scrawlet.stats.xr.framesSeen > 3);
  await stroke(phone, smile);
  await stroke(phone, wave);
  await phone.evaluate(() => {
    const device = window.emulatedPhone;
    device.position.x += 0.25;
    device.quaternion.set(0, Math.sin(0.12), 0, Math.cos(0.12));
  });
  await phone.waitForTimeout(300);
  await phone.screenshot({ path: join(root, 'docs/web-ar.png') });
  await phone.close();
} finally {
  await browser.close();
}
