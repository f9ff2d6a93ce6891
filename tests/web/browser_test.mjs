// Quib's web build in a real browser: headless Chromium loads the page from
// python3's http.server, as scripts/web.sh serves it, and checks that
//   - the page fits the canvas at the largest whole scale, letterboxed, and
//     follows resizes; its title is the window's;
//   - the first composed frame on the canvas equals the headless device's
//     first frame (a PNG from the native recorder), pixel for pixel;
//   - a click shorter than a frame fires a ball: the picture changes where it
//     flies, and stays still without one;
//   - the page shows at least 38 frames a second over 5 seconds;
//   - the quit button ends the program and the page says so;
// and that the engine tour runs through all its scenes (the layers scene
// plays an animated GIF through frames nested in its loader) and ends.
//
//   node browser_test.mjs SITE_DIR FRAME1_PNG [CHROMIUM]
import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { chromium } from 'playwright-core';

const [site, frame1Png, executablePath = '/usr/bin/chromium'] = process.argv.slice(2);
if (!site || !frame1Png) {
  console.error('usage: node browser_test.mjs SITE_DIR FRAME1_PNG [CHROMIUM]');
  process.exit(2);
}

let failures = 0;
const started = Date.now();
function check(ok, what) {
  const at = ((Date.now() - started) / 1000).toFixed(1).padStart(5);
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${at} s  ${what}`);
  if (!ok) failures += 1;
}

// The server picks a free port and says which.
function serve(dir) {
  const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', dir],
                       { stdio: ['ignore', 'pipe', 'ignore'] });
  return new Promise((resolve, reject) => {
    let text = '';
    server.stdout.on('data', (chunk) => {
      text += chunk;
      const m = text.match(/port (\d+)/);
      if (m) resolve({ server, port: Number(m[1]) });
    });
    server.on('exit', () => reject(new Error('http.server ended: ' + text)));
  });
}

// Keeps the canvas's pixels in the page under a name: copying them out to
// the driver costs seconds on a loaded machine.
const snapshot = (page, name) => page.evaluate((name) => {
  const c = document.getElementById('zk-screen');
  (window.zkSnapshots ||= {})[name] = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
}, name);

// How many pixels differ between two named snapshots; with offBarrel, only
// outside the disc that Quib's swinging barrel sweeps (centre 120, 308, half
// its 58-pixel length and a margin), where everything stays still until a
// ball is thrown.
const changed = (page, a, b, offBarrel = false) => page.evaluate(([a, b, offBarrel]) => {
  const p = window.zkSnapshots[a], q = window.zkSnapshots[b];
  let n = 0;
  for (let y = 0; y < 320; ++y)
    for (let x = 0; x < 240; ++x) {
      if (offBarrel && (x - 120) ** 2 + (y - 308) ** 2 <= 31 * 31) continue;
      const i = (y * 240 + x) * 4;
      if (p[i] !== q[i] || p[i + 1] !== q[i + 1] || p[i + 2] !== q[i + 2]) ++n;
    }
  return n;
}, [a, b, offBarrel]);

// Where the page's first composed frame differs from the headless device's
// first frame (a PNG file, base64), or '' where it does not.
async function firstFrameIs(png) {
  const bytes = Uint8Array.from(atob(png), (c) => c.charCodeAt(0));
  const picture = await createImageBitmap(new Blob([bytes], { type: 'image/png' }),
                                          { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  const g = new OffscreenCanvas(240, 320).getContext('2d');
  g.drawImage(picture, 0, 0);
  const want = g.getImageData(0, 0, 240, 320).data, got = window.zkWeb.firstFrame.data;
  let i = 0;
  while (i < want.length && want[i] === got[i]) ++i;
  return i === want.length ? '' : `pixel (${(i >> 2) % 240}, ${Math.floor((i >> 2) / 240)}) differs`;
}

// Page coordinates of device pixel (x, y), at the pixel's centre.
async function pagePoint(page, x, y) {
  const r = await page.locator('#zk-screen').boundingBox();
  return [r.x + (x + 0.5) * r.width / 240, r.y + (y + 0.5) * r.height / 320];
}

const { server, port } = await serve(site);
const browser = await chromium.launch({
  executablePath,
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
try {
  const page = await browser.newPage({ viewport: { width: 600, height: 700 } });
  page.on('pageerror', (e) => check(false, 'page error: ' + e.message));
  await page.goto(`http://127.0.0.1:${port}/quib.html`);
  await page.waitForFunction(() => window.zkWeb && window.zkWeb.firstFrame, null, { timeout: 15000 });
  const first = await page.evaluate(firstFrameIs, readFileSync(frame1Png).toString('base64'));
  check(first === '', 'the first composed frame equals the headless one' + (first ? ': ' + first : ''));

  check(await page.title() === 'Coded using ZKlib', 'the page title is the window title');
  // 600 x 700 fits twice 240 x 320, centred.
  let box = await page.locator('#zk-screen').boundingBox();
  check(box.width === 480 && box.height === 640 && box.x === 60 && box.y === 30,
        `scale 2, letterboxed (${JSON.stringify(box)})`);
  await page.setViewportSize({ width: 300, height: 400 });
  await page.waitForFunction(() => document.getElementById('zk-screen').getBoundingClientRect().width === 240);
  box = await page.locator('#zk-screen').boundingBox();
  check(box.width === 240 && box.height === 320 && box.x === 30 && box.y === 40,
        `scale 1 after a resize (${JSON.stringify(box)})`);

  // The picture stays still, but for the swinging barrel, until a tap. The
  // tap's frame picks the barrel's angle, and so where the ball flies: near
  // either end of the swing it stays low, beside the cannon, so the whole
  // picture off the barrel is watched, not only the board above it.
  await snapshot(page, 'before');
  await page.waitForTimeout(400);
  await snapshot(page, 'still');
  check(await changed(page, 'before', 'still', true) === 0, 'the picture is still before the tap');
  const [cx, cy] = await pagePoint(page, 120, 200);
  const tappedAt = await page.evaluate(() => window.zkWeb.shows);
  await page.mouse.click(cx, cy);  // down and up at once: shorter than a frame
  await page.waitForTimeout(600);
  await snapshot(page, 'flying');
  const moved = await changed(page, 'still', 'flying', true);
  check(moved > 100, `a tap fires a ball (${moved} pixels changed; tapped about frame ${tappedAt - 1})`);

  const rate = await page.evaluate(async () => {
    const p0 = window.zkWeb.shows, t0 = performance.now();
    await new Promise((done) => setTimeout(done, 5000));
    return (window.zkWeb.shows - p0) * 1000 / (performance.now() - t0);
  });
  check(rate >= 38, `${rate.toFixed(1)} frames a second over 5 s`);

  const [qx, qy] = await pagePoint(page, 232, 8);
  await page.mouse.click(qx, qy);
  await page.waitForFunction(() => window.zkWeb.ended, null, { timeout: 5000 }).catch(() => {});
  const ending = await page.evaluate(() => ({
    ended: window.zkWeb.ended,
    shown: getComputedStyle(document.getElementById('zk-message')).display !== 'none',
    text: document.getElementById('zk-message-text').textContent,
    shows: window.zkWeb.shows,
  }));
  await page.waitForTimeout(300);
  const after = await page.evaluate(() => window.zkWeb.shows);
  check(ending.ended && ending.shown && /ended/.test(ending.text), `the quit button ends it ("${ending.text}")`);
  check(after === ending.shows, 'nothing is presented after the end');
  check(await page.locator('#zk-restart').isVisible(), 'the page offers to start again');

  const tour = await browser.newPage({ viewport: { width: 480, height: 640 } });
  tour.on('pageerror', (e) => check(false, 'tour page error: ' + e.message));
  await tour.goto(`http://127.0.0.1:${port}/zk_tour.html`);
  await tour.waitForFunction(() => window.zkWeb && window.zkWeb.firstFrame, null, { timeout: 15000 });
  const [nx, ny] = await pagePoint(tour, 212, 306);
  let scenes = 0;
  await snapshot(tour, 'scene0');
  for (let n = 1; n <= 6; ++n) {
    await tour.mouse.click(nx, ny);
    await tour.waitForTimeout(900);
    await snapshot(tour, `scene${n}`);
    if (await changed(tour, `scene${n - 1}`, `scene${n}`) > 1000) ++scenes;
  }
  check(scenes === 6, `the tour shows a new scene at each of 6 taps (${scenes})`);
  const [tx, ty] = await pagePoint(tour, 232, 8);
  await tour.mouse.click(tx, ty);
  await tour.waitForFunction(() => window.zkWeb.ended, null, { timeout: 5000 }).catch(() => {});
  check(await tour.evaluate(() => window.zkWeb.ended), 'the tour ends at its quit button');
} finally {
  await browser.close();
  server.kill();
}
console.log(failures ? `browser test: ${failures} failed` : 'browser test: all passed');
process.exit(failures ? 1 : 0);
