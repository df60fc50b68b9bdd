// `nacrelle studio` in Debian's headless Chromium, driven by playwright-core.
// The expected panel comes from the module itself (`nacrelle panel --json`,
// `nacrelle info --json`), never from a copy of its table.
//
// NACRELLE_PROGRAM  the program (default: build/default/bin/nacrelle)
// NACRELLE_RUNNER   what starts it, when it is not started itself (wine for
//                   nacrelle.exe); the browser stays on this side and
//                   connects to 127.0.0.1
// CHROMIUM          the browser (default: /usr/bin/chromium)
// NACRELLE_SCREENSHOT  when set, a screenshot of the page is written there
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import {
  mkdtempSync, writeFileSync, existsSync, readFileSync, rmSync, mkdirSync, chmodSync, statSync,
} from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import http from 'node:http';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
const program = process.env.NACRELLE_PROGRAM ||
  resolve(here, '../../build/default/bin/nacrelle');
const browserPath = process.env.CHROMIUM || '/usr/bin/chromium';

const runner = process.env.NACRELLE_RUNNER || '';
/// The command line that runs the program with `args`.
const command = (args) => (runner ? [runner, [program, ...args]] : [program, args]);

const nacrelle = (args, cwd) => execFileSync(...command(args), { cwd, encoding: 'utf8' });

/// Starts the studio in `dir` and resolves once it has printed its address.
function startStudio(dir, args = [], env = process.env) {
  return new Promise((resolvePromise, reject) => {
    const child = spawn(...command(['studio', ...args]), { cwd: dir, env });
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const match = /nacrelle studio: (http:\/\/127\.0\.0\.1:(\d+)\/\?token=(\w+))/.exec(out);
      if (match) {
        resolvePromise({ child, address: match[1], port: Number(match[2]), token: match[3] });
      }
    });
    child.stderr.on('data', (chunk) => { out += chunk; });
    child.on('exit', (code) => reject(new Error('studio ended (' + code + '): ' + out)));
  });
}

/// Ctrl-C, then the exit: { code, signal }, plus `killed` when `limit` ms
/// passed first and the studio was killed.
function stopStudio(studio, limit = Infinity) {
  return new Promise((resolvePromise) => {
    studio.child.removeAllListeners('exit');
    let killed = false;
    const timer = Number.isFinite(limit) ? setTimeout(() => {
      killed = true;
      studio.child.kill('SIGKILL');
    }, limit) : null;
    studio.child.on('exit', (code, signal) => {
      clearTimeout(timer);
      resolvePromise({ code, signal, killed });
    });
    studio.child.kill('SIGINT');
  });
}

/// A raw request, so that tests choose every header (fetch would not).
function rawRequest(port, path, { method = 'GET', headers = {}, body } = {}) {
  return new Promise((resolvePromise, reject) => {
    const request = http.request({ host: '127.0.0.1', port, path, method, headers }, (response) => {
      let data = '';
      response.on('data', (chunk) => { data += chunk; });
      response.on('end', () => resolvePromise({ status: response.statusCode, body: data }));
    });
    request.on('error', reject);
    if (body !== undefined) request.write(body);
    request.end();
  });
}

let browser;
let dir;
let studio;
let page;
let template;   // the controls of dialog template 101, as the module builds them

/// The page's state as the server has it now.
const state = () => page.evaluate(async () => {
  const token = new URLSearchParams(location.search).get('token');
  return (await fetch('/api/state?token=' + token)).json();
});
const control = (id, kind) =>
  page.locator(`.rollout[data-dialog="101"] [data-id="${id}"][data-kind="${kind}"]`);
const idOf = (text) => {
  // The edit on the row of the static text `text`.
  const label = template.find((c) => c.text === text);
  return template.find((c) => c.class === 'CustEdit' && c.rect[1] === label.rect[1] &&
    c.rect[0] > label.rect[0]).id;
};

/// Waits until the swatch shows the server's current revision.
async function swatchCurrent() {
  const { revision } = await state();
  // The full swatch, not the draft a drag shows while it moves.
  await page.waitForFunction((r) => {
    const swatch = document.getElementById('swatch');
    return swatch.dataset.revision === String(r) && !swatch.dataset.draft;
  }, revision);
}

const swatchPixels = () => page.evaluate(() => {
  const canvas = document.getElementById('swatch');
  const context = canvas.getContext('2d');
  return Array.from(context.getImageData(0, 0, canvas.width, canvas.height).data);
});

/// Sets `on`'s window size and waits until the page has placed its pictures
/// for it (at once on the resize, before the next frame).
async function resize(on, width, height) {
  await on.setViewportSize({ width, height });
  await on.waitForFunction((size) => document.documentElement.dataset.placedFor
    ?.startsWith(size + '@'), width + 'x' + height);
}

/// Waits until `on` has taken in every answer to what it asked and every
/// drag is over: a response reaching the test is not yet one the page has read.
const pageSettled = (on = page) => on.waitForFunction(() =>
  document.documentElement.dataset.unfinished === '0');

/// Types `text` into edit `id` (null: takes what is typed there already) and
/// presses Enter.
async function typeInto(id, text, on = page) {
  const edit = on.locator(`.rollout[data-dialog="101"] [data-id="${id}"][data-kind="edit"]`);
  if (text !== null) await edit.fill(text);
  const answer = on.waitForResponse((r) => r.url().includes('/api/panel'));
  await edit.press('Enter');
  const response = await answer;
  await pageSettled(on);
  return response;
}

before(async () => {
  dir = mkdtempSync(join(tmpdir(), 'nacrelle-studio-'));
  const panel = JSON.parse(nacrelle(['panel', '--json'], dir));
  // Template 101's controls come first, the output filter's rows after
  // them; the text form says where the template's rollout ends.
  const dump = nacrelle(['panel'], dir).split(/\r?\n/);
  const start = dump.findIndex((line) => /rollout .* from dialog 101$/.test(line));
  const end = dump.findIndex((line, i) => i > start && /^\s*(panel|rollout) /.test(line));
  const info = JSON.parse(nacrelle(['info', '--json'], dir));
  template = panel.controls.slice(0, end - start - 1);
  assert.ok(template.length > 0 && info.parameters.length > 0);
  studio = await startStudio(dir, ['film.nscene']);
  browser = await chromium.launch({
    executablePath: browserPath,
    // As root, Chromium runs only without its sandbox.
    args: process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  page = await browser.newPage({ viewport: { width: 1100, height: 760 } });
  await page.goto(studio.address);
  await page.waitForSelector('.rollout[data-dialog="101"]');
  await swatchCurrent();
});

after(async () => {
  await browser?.close();
  try {
    // The studio the whole suite has used must stop too; it is killed
    // rather than waited for, so that a fault cannot hang the run.
    if (studio) assert.equal((await stopStudio(studio, 15000)).killed, false, 'stopped by Ctrl-C');
  } finally {
    if (dir) rmSync(dir, { recursive: true, force: true });
  }
});

test('the page shows every control of template 101 at its place, with its text', async () => {
  const drawn = page.locator('.rollout[data-dialog="101"] .control');
  assert.equal(await drawn.count(), template.length);
  for (const c of template) {
    const element = page.locator(`.rollout[data-dialog="101"] .control[data-id="${c.id}"]`)
      .and(page.locator(`[style*="left: ${c.rect[0] * 1.5}px"][style*="top: ${c.rect[1] * 13 / 8}px"]`));
    assert.equal(await element.count(), 1, `control ${c.id} "${c.text}" at ${c.rect}`);
    if (c.class === 'static' || c.text === '') continue;
    if (c.class === 'button' && c.text) {
      assert.equal((await element.textContent()).trim(), c.text);
    }
  }
  for (const c of template.filter((t) => t.class === 'static' && t.text)) {
    assert.equal(await page.getByText(c.text, { exact: true }).count() >= 1, true, c.text);
  }
  assert.equal(await page.getByRole('textbox', { name: 'Min:' }).count(), 1);
  // Started on a file that is not there yet: not shown as a saved scene.
  assert.match(await page.locator('#file-status').textContent(), /a new file, not saved yet/);
});

test('typing 5000 into "Min:" leaves the largest value the block allows', async () => {
  const info = JSON.parse(nacrelle(['info', '--json'], dir));
  const min = template.find((c) => c.id === idOf('Min:'));
  const param = info.parameters.find((p) => p.id === 0 && p.block === 0);
  assert.equal((await typeInto(min.id, '5000')).status(), 200);
  assert.equal(await control(min.id, 'edit').inputValue(), String(param.range[1]));
  assert.equal(param.range[1], 3000);
});

test('the check box makes "Max:" and the map button available, as the module decides', async () => {
  const max = control(idOf('Max:'), 'edit');
  const mapButton = page.locator('.rollout[data-dialog="101"] [data-kind="map button"]');
  const checkBox = page.locator('.rollout[data-dialog="101"] [data-kind="check box"] input');
  assert.equal(await checkBox.isChecked(), false);
  assert.equal(await max.isDisabled(), true);
  assert.equal(await mapButton.isDisabled(), true);
  assert.equal(await page.locator('#thickness-kind').isDisabled(), true);
  await checkBox.click();
  await page.waitForFunction(() => !document.querySelector(
    '.rollout[data-dialog="101"] [data-kind="map button"]').disabled);
  assert.equal(await checkBox.isChecked(), true);
  assert.equal(await max.isDisabled(), false);
  assert.equal(await page.locator('#thickness-kind').isDisabled(), false);
});

test('changing the hue changes the swatch', async () => {
  await swatchCurrent();
  const before = await swatchPixels();
  assert.equal((await typeInto(idOf('Hue Shift (±°):'), '120')).status(), 200);
  await swatchCurrent();
  const after = await swatchPixels();
  assert.equal(after.length, before.length);
  let changed = 0;
  for (let i = 0; i < before.length; i += 4) {
    if (before[i] !== after[i] || before[i + 1] !== after[i + 1] || before[i + 2] !== after[i + 2]) {
      ++changed;
    }
  }
  // The sphere changes; the checker behind it does not.
  assert.ok(changed > before.length / 4 / 10, `${changed} pixels changed`);
  assert.ok(changed < before.length / 4, `${changed} pixels changed`);
});

test('the viewport picture follows a change, after the swatch', async () => {
  const viewportPixels = () => page.evaluate(() => {
    const canvas = document.getElementById('viewport');
    return Array.from(canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data);
  });
  const viewportCurrent = async () => {
    const { revision } = await state();
    await page.waitForFunction(
      (r) => document.getElementById('viewport').dataset.revision === String(r), revision);
  };
  await viewportCurrent();
  const before = await viewportPixels();
  assert.equal((await typeInto(idOf('Hue Shift (±°):'), '-90')).status(), 200);
  await viewportCurrent();
  const after = await viewportPixels();
  // Without a thickness map the viewport shows one colour, head on: all of
  // it changes with the hue.
  assert.deepEqual(after.slice(0, 4), after.slice(-4));
  assert.notDeepEqual(after.slice(0, 3), before.slice(0, 3));
  // The hue of the test before, which the tests after it expect.
  assert.equal((await typeInto(idOf('Hue Shift (±°):'), '120')).status(), 200);
});

test('a bad value shows an error and changes nothing', async () => {
  const id = idOf('Gamma:');
  const { revision, rollouts } = await state();
  const shown = await control(id, 'edit').inputValue();
  assert.equal((await typeInto(id, 'bright')).status(), 400);
  await page.locator('#message', { hasText: /"bright" is not a number/ }).waitFor({ state: 'visible' });
  // The message names the field as the panel labels it, not by its ID.
  assert.match(await page.locator('#message').textContent(), /"Gamma"/);
  assert.doesNotMatch(await page.locator('#message').textContent(), /control \d/);
  assert.equal(await control(id, 'edit').inputValue(), shown);
  assert.equal((await state()).revision, revision);
});

test('a click on a spinner arrow steps once; the pointer moving afterwards steps no more', async () => {
  const controls = (await state()).rollouts[0].controls;
  const edit = controls.find((c) => c.id === idOf('Gamma:') && c.kind === 'edit');
  const spinner = control(controls.find((c) => c.kind === 'spinner' && c.param === edit.param).id,
    'spinner');
  const gamma = async () => (await state()).rollouts[0].controls.find((c) => c.id === edit.id &&
    c.kind === 'edit').value;
  const clickUp = async () => {
    const box = await spinner.boundingBox();  // where it is now: a message going away moves it
    const answer = page.waitForResponse((r) => r.url().includes('/api/panel'));
    await page.mouse.click(box.x + box.width / 2, box.y + 2);
    await answer;
  };
  await clickUp();
  const step = (await gamma()) - edit.value;
  const { revision } = await state();
  // No button pressed: up across the spinner and beyond.
  const box = await spinner.boundingBox();
  for (let y = box.y + box.height; y > box.y - 40; y -= 2) await page.mouse.move(box.x + 5, y);
  await page.waitForTimeout(300);
  assert.equal((await state()).revision, revision);
  for (let i = 0; i < 4; ++i) await clickUp();
  assert.ok(step > 0 && Math.abs((await gamma()) - edit.value - 5 * step) < step / 2);
  await typeInto(edit.id, String(edit.value));
});

test('Save writes a scene that `nacrelle scene show` reads back with the same values', async () => {
  await page.locator('#scene-file').fill('film.nscene');
  const answer = page.waitForResponse((r) => r.url().includes('/api/scene/save'));
  await page.locator('#save-scene').click();
  assert.equal((await answer).status(), 200);
  const shown = JSON.parse(nacrelle(['scene', 'show', '--json', 'film.nscene'], dir));
  const info = JSON.parse(nacrelle(['info', '--json'], dir));
  const { rollouts, unsaved } = await state();
  assert.equal(unsaved, false);
  let compared = 0;
  for (const c of rollouts[0].controls.filter((k) => k.kind === 'edit' && k.param >= 0)) {
    const name = info.parameters.find((p) => p.id === c.param && p.block === 0).scriptName;
    assert.equal(shown.map.parameters[name].value, c.value, name);
    ++compared;
  }
  assert.equal(compared, template.filter((k) => k.class === 'CustEdit').length);
  assert.equal(shown.map.parameters.hue.value, 120);
  assert.equal(shown.map.parameters.thicknessmapenabled.value, true);
});

test('an edit by `scene set` meanwhile is not lost: Save refuses, Reload takes it in', async () => {
  const show = () => JSON.parse(nacrelle(['scene', 'show', '--json', 'film.nscene'], dir))
    .map.parameters;
  const save = async () => {
    const answer = page.waitForResponse((r) => r.url().includes('/api/scene/save'));
    await page.locator('#save-scene').click();
    return (await answer).status();
  };
  nacrelle(['scene', 'set', 'film.nscene', '--key', 'sat@20=77'], dir);
  const keys = show().sat.keys;
  await typeInto(idOf('Hue Shift (±°):'), '61');
  await page.locator('#file-status', { hasText: /changed on disk/ }).waitFor();
  assert.equal(await save(), 409);
  assert.deepEqual(show().sat.keys, keys);
  // The bar and the status line say the same, and go together.
  await page.locator('#conflict', { hasText: /changed on disk/ }).waitFor();
  assert.match(await page.locator('#file-status').textContent(), /changed on disk/);
  await page.locator('#conflict-reload').click();
  await page.locator('#conflict').waitFor({ state: 'hidden' });
  assert.doesNotMatch(await page.locator('#file-status').textContent(), /changed on disk/);
  await typeInto(idOf('Hue Shift (±°):'), '62');
  assert.equal(await save(), 200);
  assert.deepEqual([show().sat.keys, show().hue.value], [keys, 62]);
});

test('a failed save says why and leaves the old file', async () => {
  const before = readFileSync(join(dir, 'film.nscene'));
  await typeInto(idOf('Saturation (±%):'), '25');
  await page.locator('#scene-file').fill(join(dir, 'no-such-folder', 'film.nscene'));
  const answer = page.waitForResponse((r) => r.url().includes('/api/scene/save'));
  await page.locator('#save-scene-as').click();
  assert.equal((await answer).status(), 400);
  // The page writes the message once it has read the answer's body.
  await page.locator('#message', { hasText: /not saved/ }).waitFor({ state: 'visible' });
  assert.deepEqual(readFileSync(join(dir, 'film.nscene')), before);
  assert.equal((await state()).unsaved, true);
});

test('leaving with unsaved changes asks first', async () => {
  const leaving = () => page.evaluate(() => {
    const event = new Event('beforeunload', { cancelable: true });
    window.dispatchEvent(event);
    return event.defaultPrevented;
  });
  await typeInto(idOf('Saturation (±%):'), '30');
  assert.equal((await state()).unsaved, true);
  assert.equal(await leaving(), true);
});

test('requests without the token, for another host or from another site are refused', async () => {
  const host = { Host: `127.0.0.1:${studio.port}` };
  const ok = `/api/state?token=${studio.token}`;
  assert.equal((await rawRequest(studio.port, ok, { headers: host })).status, 200);
  assert.equal((await rawRequest(studio.port, '/api/state', { headers: host })).status, 403);
  assert.equal((await rawRequest(studio.port, '/?token=wrong', { headers: host })).status, 403);
  assert.equal((await rawRequest(studio.port, ok, { headers: { Host: 'evil.example' } })).status,
    403);
  const foreign = await rawRequest(studio.port, `/api/panel?token=${studio.token}`, {
    method: 'POST', headers: { ...host, Origin: 'http://evil.example' },
    body: JSON.stringify({ panel: 0, id: idOf('Gamma:'), action: 'type', text: '3' }),
  });
  assert.equal(foreign.status, 403);
  assert.match(JSON.parse(foreign.body).error, /another site/);
  const large = await rawRequest(studio.port, `/api/panel?token=${studio.token}`, {
    method: 'POST', headers: host, body: 'x'.repeat(200 * 1024),
  });
  assert.equal(large.status, 413);
  assert.match(JSON.parse(large.body).error, /longer than/);

  // And from a real page of another origin.
  const other = await browser.newPage();
  await other.goto('data:text/html,<title>elsewhere</title>');
  const status = await other.evaluate(async (url) => {
    try {
      return (await fetch(url, { method: 'POST', body: '{}' })).status;
    } catch (error) {
      return 'blocked';
    }
  }, `http://127.0.0.1:${studio.port}/api/scene/new?token=${studio.token}`);
  assert.ok(status === 403 || status === 'blocked', String(status));
  await other.close();
});

test('stale swatches are never shown, and superseded ones are no errors', async () => {
  // Changes in a burst: only the last one's swatch may end on screen.
  const errors = [];
  const onResponse = (r) => { if (r.status() >= 400) errors.push(r.status() + ' ' + r.url()); };
  page.on('response', onResponse);
  const id = idOf('Saturation (±%):');
  for (const value of ['-40', '-20', '0', '20', '40']) await typeInto(id, value);
  await swatchCurrent();
  assert.equal(await page.locator('#swatch').getAttribute('data-revision'),
    String((await state()).revision));
  page.off('response', onResponse);
  assert.deepEqual(errors, []);
});

// ---- One document for every tab ---------------------------------------------

/// Another tab on the same studio; `deaf`: it hears no events (as a tab
/// whose stream is down), so that it falls behind.
async function secondTab({ deaf = false } = {}) {
  const tab = await browser.newPage({ viewport: { width: 1100, height: 760 } });
  // A push channel that never reaches the studio: it opens, and hears nothing.
  if (deaf) await tab.routeWebSocket(/\/api\/events/, () => {});
  await tab.goto(studio.address);
  await tab.waitForSelector('.rollout[data-dialog="101"]');
  return tab;
}
const fieldIn = (tab, id) =>
  tab.locator(`.rollout[data-dialog="101"] [data-id="${id}"][data-kind="edit"]`);

test('every tab shows the one document: it hears each change, and shares its undo', async () => {
  const tab = await secondTab();
  try {
    const hue = idOf('Hue Shift (±°):');
    const before = await fieldIn(page, hue).inputValue();
    await typeInto(hue, '44');
    const shown = await fieldIn(page, hue).inputValue();
    await tab.waitForFunction(([selector, value]) =>
      document.querySelector(selector).value === value,
    [`.rollout[data-dialog="101"] [data-id="${hue}"][data-kind="edit"]`, shown]);
    const { undoSteps } = await state();
    assert.equal(await tab.locator('#undo').getAttribute('title'),
      await page.locator('#undo').getAttribute('title'));
    // The other tab's Undo takes back this tab's edit, and this tab shows it.
    await tab.locator('#undo').click();
    await page.waitForFunction(([selector, value]) =>
      document.querySelector(selector).value === value,
    [`.rollout[data-dialog="101"] [data-id="${hue}"][data-kind="edit"]`, before]);
    assert.equal((await state()).undoSteps, undoSteps - 1);
    await swatchCurrent();
  } finally {
    await tab.close();
  }
});

test('a tab that edits a scene changed since it looked is told so and shows the scene as it is', async () => {
  const tab = await secondTab({ deaf: true });
  try {
    const hue = idOf('Hue Shift (±°):');
    const sat = idOf('Saturation (±%):');
    const satBefore = await valueOf(sat);
    await typeInto(hue, '71');
    assert.equal((await typeInto(sat, '12', tab)).status(), 409);
    await tab.locator('#message', { hasText: /changed in another tab/ }).waitFor();
    assert.equal(await fieldIn(tab, hue).inputValue(), await fieldIn(page, hue).inputValue());
    assert.equal(await valueOf(sat), satBefore);
  } finally {
    await tab.close();
  }
});

test('twenty tabs all load, edit and follow each other', async () => {
  // Each tab's push channel is a WebSocket: none of them holds one of the six
  // connections the browser keeps to the studio, which a seventh tab's page
  // and every tab's requests still get.
  const tabs = [];
  const hue = idOf('Hue Shift (±°):');
  const selector = `.rollout[data-dialog="101"] [data-id="${hue}"][data-kind="edit"]`;
  try {
    for (let i = 0; i < 20; ++i) {
      tabs.push(await browser.newPage({ viewport: { width: 900, height: 600 } }));
    }
    await Promise.all(tabs.map(async (tab) => {
      await tab.goto(studio.address);
      await tab.waitForSelector('.rollout[data-dialog="101"]');
    }));
    for (const [i, tab] of tabs.entries()) {
      const value = String(i * 9 - 90);
      assert.equal((await typeInto(hue, value, tab)).status(), 200, `tab ${i}`);
      const shown = await fieldIn(tab, hue).inputValue();
      await Promise.all([page, ...tabs].map((other) => other.waitForFunction(
        ([s, v]) => document.querySelector(s).value === v, [selector, shown])));
    }
    // And every tab draws the pictures of the scene as it is.
    const { revision } = await state();
    await Promise.all(tabs.map((tab) => tab.waitForFunction((r) =>
      document.getElementById('swatch').dataset.revision === String(r), revision)));
  } finally {
    await Promise.all(tabs.map((tab) => tab.close()));
  }
  await typeInto(hue, '120');
});

test('an edit begun before another tab\'s Open or Undo is refused, typed or dragged', async () => {
  const tab = await secondTab();
  try {
    // Typed without Enter in one tab; another scene opened in the other.
    nacrelle(['scene', 'new', '--force', 'other.nscene'], dir);
    const sat = idOf('Saturation (±%):');
    await fieldIn(tab, sat).fill('20');
    page.once('dialog', (dialog) => dialog.accept());
    await page.locator('#scene-file').fill('other.nscene');
    const opened = page.waitForResponse((r) => r.url().includes('/api/scene/open'));
    await page.locator('#open-scene').click();
    assert.equal((await opened).status(), 200);
    await tab.locator('#file-status', { hasText: 'other.nscene' }).waitFor();
    const other = await valueOf(sat);
    assert.equal((await typeInto(sat, null, tab)).status(), 409);
    await tab.locator('#message', { hasText: /another scene was opened/ }).waitFor();
    assert.equal(await valueOf(sat), other);
    assert.equal(await fieldIn(tab, sat).inputValue(), await fieldIn(page, sat).inputValue());

    // A drag in one tab, an Undo in the other: the drag goes no further.
    const gamma = idOf('Gamma:');
    const start = await valueOf(gamma);
    const shownBefore = await fieldIn(page, gamma).inputValue();
    const box = await (await spinnerOf(gamma)).boundingBox();
    const [x, y] = [box.x + box.width / 2, box.y + box.height / 2];
    await tab.bringToFront();
    await tab.mouse.move(x, y);
    await tab.mouse.down();
    for (let dy = 2; dy <= 20; dy += 2) await tab.mouse.move(x, y - dy);
    // The drag has reached the studio; the other tab, in the background, may
    // draw it later (a background page's timers are slowed).
    while ((await valueOf(gamma)) === start) await tab.waitForTimeout(50);
    // This tab has heard of the drag's last step (the Undo is meant for it).
    for (let quiet = false; !quiet;) {
      const { serial } = await state();
      await page.waitForFunction((n) => document.documentElement.dataset.serial === String(n),
        serial);
      await page.waitForTimeout(150);
      quiet = (await state()).serial === serial;
    }
    await page.bringToFront();
    const undone = page.waitForResponse((r) => r.url().includes('/api/undo'));
    await page.locator('#undo').click();
    assert.equal((await undone).status(), 200);
    await pageSettled();
    const refused = tab.waitForResponse((r) => r.url().includes('/api/panel') && r.status() === 409);
    for (let dy = 22; dy <= 60; dy += 2) await tab.mouse.move(x, y - dy);
    await refused;
    await tab.mouse.up();
    await pageSettled(tab);
    assert.equal(await valueOf(gamma), start);
    await tab.locator('#message', { hasText: /a step was undone/ }).waitFor();
  } finally {
    await tab.close();
  }
  // Back to the scene the other tests edit, when it has been saved.
  if (existsSync(join(dir, 'film.nscene'))) {
    if ((await state()).unsaved) page.once('dialog', (dialog) => dialog.accept());
    await page.locator('#scene-file').fill('film.nscene');
    await page.locator('#open-scene').click();
    await page.locator('#file-status', { hasText: /film\.nscene/ }).waitFor();
    await pageSettled();
  }
});

// ---- The studio as an editor: undo, spinner habits, presets, keys, layout ----

const valueOf = async (id) =>
  (await state()).rollouts[0].controls.find((c) => c.id === id && c.kind === 'edit').value;
const spinnerOf = async (editId) => {
  const controls = (await state()).rollouts[0].controls;
  const edit = controls.find((c) => c.id === editId && c.kind === 'edit');
  return control(controls.find((c) => c.kind === 'spinner' && c.param === edit.param).id, 'spinner');
};
/// Presses `keys` and waits for the answer to the request they make.
async function pressFor(keys, path) {
  const answer = page.waitForResponse((r) => r.url().includes(path));
  await page.keyboard.press(keys);
  const status = (await answer).status();
  await pageSettled();
  return status;
}
/// Waits until a gesture's last steps have come back and been drawn.
async function settled() {
  await pageSettled();
  await swatchCurrent();
}

test('a drag is one undo step: Ctrl+Z takes it back whole, Ctrl+Y and Ctrl+Shift+Z redo it', async () => {
  const id = idOf('Gamma:');
  const start = await valueOf(id);
  const before = await state();
  const box = await (await spinnerOf(id)).boundingBox();
  const [x, y] = [box.x + box.width / 2, box.y + box.height / 2];
  await page.mouse.move(x, y);
  await page.mouse.down();
  for (let dy = 2; dy <= 60; dy += 2) await page.mouse.move(x, y - dy);
  await page.mouse.up();
  await settled();
  const dragged = await valueOf(id);
  const after = await state();
  assert.ok(after.revision - before.revision >= 3, 'the drag went in several steps');
  assert.ok(dragged > start);
  assert.equal(after.undoSteps, before.undoSteps + 1);
  await page.locator('h1').click();  // no field focused: the keys are the studio's
  assert.equal(await pressFor('Control+z', '/api/undo'), 200);
  assert.equal(await valueOf(id), start);
  assert.equal(await pressFor('Control+y', '/api/redo'), 200);
  assert.equal(await valueOf(id), dragged);
  await page.locator('#undo').click();
  await page.waitForFunction(() => document.getElementById('redo').disabled === false);
  assert.equal(await pressFor('Control+Shift+Z', '/api/redo'), 200);
  assert.equal(await valueOf(id), dragged);
});

test('a right-click on a spinner sets the lowest value at or above zero in its range', async () => {
  const info = JSON.parse(nacrelle(['info', '--json'], dir));
  for (const name of ['nfilm', 'hue']) {
    const { id: param, range: [low, high] } =
      info.parameters.find((p) => p.scriptName === name && p.block === 0);
    const { id } = (await state()).rollouts[0].controls.find((c) => c.param === param &&
      c.kind === 'edit');
    await typeInto(id, String(high));
    const box = await (await spinnerOf(id)).boundingBox();
    const answer = page.waitForResponse((r) => r.url().includes('/api/panel'));
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2, { button: 'right' });
    assert.equal((await answer).status(), 200);
    assert.ok(Math.abs((await valueOf(id)) - Math.min(Math.max(0, low), high)) < 1e-6, name);
    // Shown at the spinner's precision, without float noise.
    assert.match(await control(id, 'edit').inputValue(), /^-?\d+(\.\d{1,3})?$/);
  }
});

test('the wheel steps a focused field, a turn being one undo step; its menu resets it', async () => {
  const info = JSON.parse(nacrelle(['info', '--json'], dir));
  const { id: param, default: fallback } = info.parameters.find((p) => p.scriptName === 'sat');
  const { id } = (await state()).rollouts[0].controls.find((c) => c.param === param &&
    c.kind === 'edit');
  const spinStep = (await state()).rollouts[0].controls.find((c) => c.param === param &&
    c.kind === 'spinner').step;
  const field = control(id, 'edit');
  const start = await valueOf(id);
  const { undoSteps } = await state();
  await field.click();
  for (let i = 0; i < 3; ++i) {
    const answer = page.waitForResponse((r) => r.url().includes('/api/panel'));
    await page.mouse.wheel(0, -100);
    await answer;
  }
  assert.ok(Math.abs((await valueOf(id)) - (start + 3 * spinStep)) < 1e-4);
  assert.equal((await state()).undoSteps, undoSteps + 1);
  await field.click({ button: 'right' });
  const reset = page.waitForResponse((r) => r.url().includes('/api/reset'));
  await page.getByRole('menuitem', { name: /^Reset to default/ }).click();
  assert.equal((await reset).status(), 200);
  assert.equal(await valueOf(id), fallback);
});

test('the presets menu shows a preset\'s sources and applies it as one undo step', async () => {
  const preset = JSON.parse(nacrelle(['presets', 'oil-on-water', '--json'], dir));
  const info = JSON.parse(nacrelle(['info', '--json'], dir));
  const before = await state();
  await page.locator('#preset-name').selectOption(preset.name);
  await page.locator('#preset-about', { hasText: preset.description }).waitFor();
  assert.ok((await page.locator('#preset-about').textContent()).includes(preset.sources.film));
  const answer = page.waitForResponse((r) => r.url().includes('/api/preset'));
  await page.locator('#preset-apply').click();
  assert.equal((await answer).status(), 200);
  const applied = await state();
  assert.equal(applied.undoSteps, before.undoSteps + 1);
  assert.equal(applied.thicknessMap.kind, preset.thicknessMap.kind);
  for (const [name, value] of Object.entries(preset.parameters)) {
    const param = info.parameters.find((p) => p.scriptName === name && p.block === 0).id;
    // An edit field, or a check box of the optics rollout (value 0 or 1).
    const shown = applied.rollouts.flatMap((r) => r.controls)
      .find((c) => (c.kind === 'edit' || c.kind === 'check box') && c.param === param);
    assert.ok(Math.abs(Number(shown.value) - value) <= 1e-6 * Math.max(1, Math.abs(value)), name);
  }
  await page.locator('#undo').click();
  await page.waitForFunction((r) => document.getElementById('swatch').dataset.revision > r,
    applied.revision);
  const undone = await state();
  assert.deepEqual([undone.rollouts, undone.thicknessMap], [before.rollouts, before.thicknessMap]);
});

test('Ctrl+S saves through the safe save; undoing after it makes the scene unsaved again', async () => {
  const id = idOf('Hue Shift (±°):');
  page.once('dialog', (dialog) => dialog.accept());
  await page.locator('#new-scene').click();
  await page.waitForFunction(() => !document.title.startsWith('\u2022'));
  await page.locator('#scene-file').fill('keys.nscene');
  assert.equal(await pressFor('Control+s', '/api/scene/save'), 200);
  await control(id, 'edit').fill('33');
  await control(id, 'edit').press('Enter');
  assert.equal(await pressFor('Control+s', '/api/scene/save'), 200);
  const shown = JSON.parse(nacrelle(['scene', 'show', '--json', 'keys.nscene'], dir));
  assert.equal(shown.map.parameters.hue.value, 33);
  assert.equal((await state()).unsaved, false);
  await page.locator('h1').click();
  assert.equal(await pressFor('Control+z', '/api/undo'), 200);
  assert.equal((await state()).unsaved, true);
  assert.equal(await pressFor('Control+y', '/api/redo'), 200);
  assert.equal((await state()).unsaved, false);
});

test('the drop-down list sets its parameter as one undo step, and follows undo', async () => {
  // The list and the rollout that holds it, whichever that is.
  const listOf = (s) => {
    for (const rollout of s.rollouts) {
      const list = rollout.controls.find((c) => c.kind === 'drop-down list');
      if (list) return { rollout, list };
    }
    return {};
  };
  const before = await state();
  const { rollout, list } = listOf(before);
  assert.ok(list, 'a panel has a drop-down list');
  const select = page.locator(
    `.rollout[data-dialog="${rollout.dialog}"] select[data-id="${list.id}"]`);
  assert.equal(await select.isDisabled(), !list.enabled);
  assert.deepEqual(await select.locator('option').allTextContents(), list.items);
  assert.equal(await select.inputValue(), String(list.value));

  const last = list.items.length - 1;
  const answer = page.waitForResponse((r) => r.url().includes('/api/panel'));
  await select.selectOption(String(last));
  assert.equal((await answer).status(), 200);
  const after = await state();
  assert.equal(listOf(after).list.value, last);
  assert.equal(after.undoSteps, before.undoSteps + 1);
  assert.equal(await select.inputValue(), String(last));

  await page.locator('h1').click();  // no field focused: the keys are the studio's
  assert.equal(await pressFor('Control+z', '/api/undo'), 200);
  assert.equal(listOf(await state()).list.value, list.value);
  await page.waitForFunction(([id, value]) =>
    document.querySelector(`select[data-id="${id}"]`).value === String(value),
    [list.id, list.value]);
});

// ---- Smaller habits of the page ------------------------------------------------

/// The spinner beside edit `editId`, as the server describes it.
const spinnerControl = async (editId) => {
  const controls = (await state()).rollouts[0].controls;
  const edit = controls.find((c) => c.id === editId && c.kind === 'edit');
  return controls.find((c) => c.kind === 'spinner' && c.param === edit.param);
};

test('a drag lands on the step grid, and back where it started exactly', async () => {
  const id = idOf('Hue Shift (±°):');
  await typeInto(id, '0');
  const spinner = await spinnerOf(id);
  const { step } = await spinnerControl(id);
  const drag = async (moves) => {
    const box = await spinner.boundingBox();
    const [x, y] = [box.x + box.width / 2, box.y + box.height / 2];
    await page.mouse.move(x, y);
    await page.mouse.down();
    for (const dy of moves) await page.mouse.move(x, y - dy);
    await page.mouse.up();
    await settled();
    return valueOf(id);
  };
  const up = Array.from({ length: 100 }, (_, i) => 2 * (i + 1));
  // While it moves the swatch is a draft; once it is over, the full one.
  await page.evaluate(() => {
    window.draftsSeen = 0;
    new MutationObserver(() => {
      if (document.getElementById('swatch').dataset.draft) ++window.draftsSeen;
    }).observe(document.getElementById('swatch'), { attributes: true });
  });
  const far = await drag(up);
  assert.ok(await page.evaluate(() => window.draftsSeen) > 0);
  const decimals = Math.max(0, Math.ceil(-Math.log10(step) - 1e-6));
  assert.ok(far > 0);
  assert.equal(far, Math.fround(Number(far.toFixed(decimals))), String(far));
  assert.equal(await drag([...up, ...up.slice().reverse().slice(1), 0]), far);
  await typeInto(id, '0');
  assert.equal(await drag([...up.slice(0, 40), ...up.slice(0, 39).reverse(), 0]), 0);
});

test('the tooltip shows the shortest text of the stored value; Alt steps a tenth', async () => {
  const id = idOf('Gamma:');
  await typeInto(id, '0.45');
  assert.match(await control(id, 'edit').getAttribute('title'), /^0\.45 /);
  const { step } = await spinnerControl(id);
  await control(id, 'edit').focus();
  assert.equal(await pressFor('Alt+ArrowUp', '/api/panel'), 200);
  assert.ok(Math.abs((await valueOf(id)) - (0.45 + step / 10)) < 1e-6, String(await valueOf(id)));
  // The field shows the tenth it stored, not the step it lies between.
  assert.ok(Math.abs(Number(await control(id, 'edit').inputValue()) - (await valueOf(id))) < 1e-6,
    await control(id, 'edit').inputValue());
  const answer = page.waitForResponse((r) => r.url().includes('/api/panel'));
  await control(id, 'edit').hover();
  await page.keyboard.down('Alt');
  await page.mouse.wheel(0, 100);
  await page.keyboard.up('Alt');
  await answer;
  await pageSettled();
  assert.ok(Math.abs((await valueOf(id)) - 0.45) < 1e-6, String(await valueOf(id)));
});

test('the field\'s menu: Escape gives focus back, Tab and scrolling close it, it stays in the window', async () => {
  const field = control(idOf('Gamma:'), 'edit');
  const menu = page.locator('#context-menu');
  await field.click({ button: 'right' });
  await menu.waitFor();
  await page.keyboard.press('Escape');
  await menu.waitFor({ state: 'hidden' });
  assert.equal(await field.evaluate((e) => document.activeElement === e), true);
  await field.click({ button: 'right' });
  await page.keyboard.press('Tab');
  await menu.waitFor({ state: 'hidden' });
  await field.click({ button: 'right' });
  await page.evaluate(() => document.dispatchEvent(new Event('scroll')));
  await menu.waitFor({ state: 'hidden' });
  // Opened at the window's corner: it opens towards the middle.
  const box = await field.evaluate((e) => {
    e.dispatchEvent(new MouseEvent('contextmenu', { bubbles: true, cancelable: true,
      clientX: innerWidth - 2, clientY: innerHeight - 2 }));
    const r = document.getElementById('context-menu').getBoundingClientRect();
    return { right: r.right, bottom: r.bottom, width: innerWidth, height: innerHeight };
  });
  assert.ok(box.right <= box.width && box.bottom <= box.height, JSON.stringify(box));
  await page.keyboard.press('Escape');
});

test('the preset menu starts on its prompt; Enter in the file field opens the file', async () => {
  const fresh = await secondTab();
  try {
    assert.equal(await fresh.locator('#preset-name').inputValue(), '');
    assert.match(await fresh.locator('#preset-name option:checked').textContent(),
      /^Choose a preset/);
    assert.equal(await fresh.locator('#preset-apply').isDisabled(), true);
    const errors = [];
    fresh.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
    fresh.once('dialog', (dialog) => dialog.accept());
    await fresh.locator('#scene-file').fill('film.nscene');
    const answer = fresh.waitForResponse((r) => r.url().includes('/api/scene/open'));
    await fresh.locator('#scene-file').press('Enter');
    assert.equal((await answer).status(), 200);
    await pageSettled(fresh);
    assert.deepEqual(errors, []);
    assert.equal(await fresh.evaluate(() => location.pathname), '/');
  } finally {
    await fresh.close();
  }
});

test('the icon is served: the default swatch, small, and no page load asks anything refused', async () => {
  const icon = await rawRequest(studio.port, '/favicon.ico',
    { headers: { Host: `127.0.0.1:${studio.port}` } });
  assert.equal(icon.status, 200);
  assert.equal(icon.body.slice(1, 4), 'PNG');
  const tab = await browser.newPage();
  const refusedAnswers = [];
  tab.on('response', (r) => { if (r.status() >= 400) refusedAnswers.push(r.status() + ' ' + r.url()); });
  await tab.goto(studio.address);
  await tab.waitForSelector('.rollout[data-dialog="101"]');
  await tab.waitForTimeout(300);
  await tab.close();
  assert.deepEqual(refusedAnswers, []);
});

test('at 700 x 450 both pictures stay in view, and a message moves nothing', async () => {
  await resize(page, 700, 450);
  try {
    const inView = async (id) => {
      const box = await page.locator(id).boundingBox();
      assert.ok(box.y >= 0 && box.y + box.height <= 450 && box.x + box.width <= 700,
        id + ' ' + JSON.stringify(box));
      return box;
    };
    await inView('#swatch');
    await page.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
    const before = await inView('#swatch');
    await inView('#chart');
    assert.equal((await typeInto(idOf('Gamma:'), 'bright')).status(), 400);
    await page.locator('#message').waitFor();
    assert.deepEqual(await page.locator('#swatch').boundingBox(), before);
  } finally {
    await resize(page, 1100, 760);
    await page.evaluate(() => window.scrollTo(0, 0));
  }
});

test('from 700 to 2560 pixels, at pixel ratios 1 and 2: nothing cut or covered, pictures sharp', async () => {
  const shots = process.env.NACRELLE_SHOTS;
  for (const ratio of [1, 2]) {
    const context = await browser.newContext({ deviceScaleFactor: ratio });
    const tab = await context.newPage();
    try {
      for (const [width, height] of [[700, 600], [1100, 760], [1280, 800], [1920, 1080],
        [2560, 1440]]) {
        if (tab.url() === 'about:blank') {
          await tab.setViewportSize({ width, height });
          await tab.goto(studio.address);
          await tab.waitForSelector('.rollout[data-dialog="101"]');
        }
        await resize(tab, width, height);
        const at = `${width} px at ratio ${ratio}`;
        const { revision } = await state();
        await tab.waitForFunction(({ r, ratio: dpr }) => ['swatch', 'chart'].every((id) => {
          const canvas = document.getElementById(id);
          const box = canvas.getBoundingClientRect();
          return canvas.dataset.revision === String(r) && !canvas.dataset.draft &&
            canvas.width === Math.round(box.width * dpr) && canvas.height === Math.round(box.height * dpr);
        }), { r: revision, ratio }, { timeout: 30000 }).catch((error) => {
          throw new Error(`pictures at ${at}: ${error.message}`);
        });
        // The header: the buttons on one row, the status whole beneath them.
        const row = async (id) => (await tab.locator(id).boundingBox()).y;
        assert.equal(await row('#new-scene'), await row('#reset-all'), at);
        const notes = await tab.locator('#file-notes').boundingBox();
        const status = await tab.locator('#file-status').boundingBox();
        assert.ok(notes.x + notes.width <= status.x + status.width + 1, at);
        // The pictures in the window, and the space used.
        for (const id of ['#swatch', '#chart']) {
          const box = await tab.locator(id).boundingBox();
          assert.ok(box.x >= 0 && box.x + box.width <= width && box.y + box.height <= height,
            `${id} ${at} ${JSON.stringify(box)}`);
        }
        const chart = await tab.locator('#chart').boundingBox();
        const editor = await tab.locator('#editor').boundingBox();
        assert.ok(chart.x + chart.width >= width - (width - editor.width) * 0.25, `space used ${at}`);
        if (shots && ratio === 1 && [700, 1280, 1920].includes(width)) {
          await tab.screenshot({ path: join(shots, `studio-${width}.png`) });
        }
      }
      // A bar over the foot of the window covers none of the last controls.
      await tab.evaluate(() => { document.getElementById('conflict').hidden = false; });
      await tab.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
      const bar = await tab.locator('#conflict').boundingBox();
      const last = await tab.locator('#panels .rollout').last().boundingBox();
      assert.ok(last.y + last.height <= bar.y, `${JSON.stringify(last)} ${JSON.stringify(bar)}`);
    } finally {
      await context.close();
    }
  }
});

test('after New, Ctrl+S asks for a name and leaves the scene open before as it was', async () => {
  const before = nacrelle(['scene', 'show', '--json', 'keys.nscene'], dir);
  page.once('dialog', (dialog) => dialog.accept());
  await page.locator('#new-scene').click();
  await page.waitForFunction(() => document.getElementById('scene-file').value === '');
  await page.locator('h1').click();
  await page.keyboard.press('Control+s');
  await page.locator('#message', { hasText: 'Type a name' }).waitFor();
  assert.equal(nacrelle(['scene', 'show', '--json', 'keys.nscene'], dir), before);
});

test('at 700 pixels the pictures stay in view and still; every control has a name', async () => {
  await resize(page, 700, 600);
  try {
    const inView = async () => {
      const box = await page.locator('#swatch').boundingBox();
      assert.ok(box.x >= 0 && box.y >= 0 && box.x + box.width <= 700 && box.y + box.height <= 600,
        JSON.stringify(box));
      return box;
    };
    const first = await inView();
    const editor = await page.locator('#editor').boundingBox();
    assert.ok(first.x >= editor.x + editor.width || first.y + first.height <= editor.y);
    await page.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
    await inView();
    // Another kind of map brings another rollout: nothing beside it moves.
    const box = page.getByRole('checkbox', { name: 'Use thickness map' });
    if (!(await box.isChecked())) await box.click();
    await page.waitForFunction(() => !document.getElementById('thickness-kind').disabled);
    await page.locator('#thickness-kind').selectOption('noise');
    await page.locator('.rollout h2', { hasText: 'Noise Parameters' }).waitFor();
    const moved = await page.locator('#swatch').boundingBox();
    assert.equal(moved.x, first.x);
    const titles = await page.locator('.rollout h2').allTextContents();
    assert.equal(new Set(titles).size, titles.length, titles.join(', '));
    const unnamed = await page.evaluate(() => [...document.querySelectorAll(
      'input, select, button, [role="spinbutton"]')].filter((e) => !e.hidden &&
      !(e.getAttribute('aria-label') || e.textContent.trim() || e.labels?.length)).length);
    assert.equal(unnamed, 0);
  } finally {
    await resize(page, 1100, 760);
  }
});

test('a mistyped PNG path leaves the chooser on its kind, with the path as typed', async () => {
  const box = page.getByRole('checkbox', { name: 'Use thickness map' });
  if (!(await box.isChecked())) await box.click();
  await page.waitForFunction(() => !document.getElementById('thickness-kind').disabled);
  await page.locator('#thickness-kind').selectOption('bitmap');
  await page.locator('#thickness-file').fill('no-such-map.png');
  const answer = page.waitForResponse((r) => r.url().includes('/api/thickness-map'));
  await page.locator('#thickness-apply').click();
  assert.equal((await answer).status(), 400);
  await pageSettled();
  assert.equal(await page.locator('#thickness-kind').inputValue(), 'bitmap');
  assert.equal(await page.locator('#thickness-file').isVisible(), true);
  assert.equal(await page.locator('#thickness-file').inputValue(), 'no-such-map.png');
});

test('--open hands the browser a page only the user may read, never the token; gone at the end',
  { skip: runner ? 'the Windows program opens through ShellExecuteW' : false }, async () => {
    // A browser opener that notes what it was asked to open.
    const bin = join(dir, 'bin');
    mkdirSync(bin, { recursive: true });
    const noted = join(dir, 'opened.txt');
    writeFileSync(join(bin, 'xdg-open'), `#!/bin/sh\nprintf '%s\\n' "$@" > '${noted}'\n`);
    chmodSync(join(bin, 'xdg-open'), 0o755);
    const opened = await startStudio(dir, ['--open'],
      { ...process.env, PATH: bin + ':' + process.env.PATH });
    try {
      let argument = '';
      for (let i = 0; i < 200 && !argument; ++i) {
        if (existsSync(noted)) argument = readFileSync(noted, 'utf8').trim();
        else await new Promise((r) => setTimeout(r, 25));
      }
      assert.ok(argument && !argument.includes(opened.token), argument);
      assert.equal(statSync(argument).mode & 0o077, 0);
      assert.equal(statSync(dirname(argument)).mode & 0o077, 0);
      assert.ok(readFileSync(argument, 'utf8').includes(opened.address));
      // The page sends the browser on to the studio, and goes once it has.
      const tab = await browser.newPage();
      await tab.goto('file://' + argument);
      await tab.waitForURL(opened.address);
      await tab.waitForSelector('.rollout[data-dialog="101"]');
      await tab.close();
      assert.equal(existsSync(argument), false);
      assert.equal(existsSync(dirname(argument)), false);
      assert.equal((await stopStudio(opened)).code, 0);
    } finally {
      opened.child.kill('SIGKILL');
    }
  });

test('a launcher no browser came for goes on SIGHUP and SIGQUIT, and after kill -9 at the next start',
  { skip: runner ? 'the Windows program opens through ShellExecuteW' : false }, async () => {
    // A temporary folder of the test's own, and an opener that notes what
    // it was asked to open and opens nothing.
    const temporary = join(dir, 'tmp');
    const bin = join(dir, 'bin-silent');
    mkdirSync(temporary, { recursive: true });
    mkdirSync(bin, { recursive: true });
    const noted = join(dir, 'opened-silently.txt');
    writeFileSync(join(bin, 'xdg-open'), `#!/bin/sh\nprintf '%s\\n' "$@" > '${noted}'\n`);
    chmodSync(join(bin, 'xdg-open'), 0o755);
    const env = { ...process.env, PATH: bin + ':' + process.env.PATH, TMPDIR: temporary };
    const launch = async () => {
      rmSync(noted, { force: true });
      const started = await startStudio(dir, ['--open'], env);
      for (let i = 0; i < 200 && !existsSync(noted); ++i) await new Promise((r) => setTimeout(r, 25));
      const launcher = readFileSync(noted, 'utf8').trim();
      assert.ok(existsSync(launcher), launcher);
      return { started, launcher };
    };
    const ended = (child, signal) => new Promise((resolvePromise) => {
      child.removeAllListeners('exit');
      child.on('exit', (code, how) => resolvePromise({ code, how }));
      child.kill(signal);
    });
    for (const signal of ['SIGHUP', 'SIGQUIT']) {
      const { started, launcher } = await launch();
      assert.deepEqual(await ended(started.child, signal), { code: 0, how: null }, signal);
      assert.equal(existsSync(dirname(launcher)), false, signal);
    }
    const { started, launcher } = await launch();
    await ended(started.child, 'SIGKILL');
    assert.ok(existsSync(launcher));
    const next = await startStudio(dir, [], env);
    try {
      assert.equal(existsSync(dirname(launcher)), false);
    } finally {
      await stopStudio(next);
    }
  });

test('Ctrl-C stops the studio cleanly, whether a browser has used it or not', async () => {
  if (process.env.NACRELLE_SCREENSHOT) {
    await page.locator('#preset-name').selectOption('soap-bubble');
    await page.locator('#preset-apply').click();
    await page.waitForFunction(async () => {
      const token = new URLSearchParams(location.search).get('token');
      const { revision } = await (await fetch('/api/state?token=' + token)).json();
      return document.getElementById('chart').dataset.revision === String(revision);
    });
    await page.screenshot({ path: process.env.NACRELLE_SCREENSHOT, fullPage: true });
  }
  // A page open on it, or one that has just gone, leaves connections and an
  // event stream for the stop to end.
  const openTabs = [];
  for (const tab of ['none', 'open', 'closed']) {
    const second = await startStudio(dir);
    if (tab !== 'none') {
      const other = await browser.newPage();
      await other.goto(second.address);
      await other.waitForSelector('.rollout[data-dialog="101"]');
      await typeInto(idOf('Hue Shift (±°):'), '15', other);
      if (tab === 'closed') await other.close();
      else openTabs.push(other);
    }
    const { code, killed } = await stopStudio(second, 15000);
    assert.deepEqual({ code, killed }, { code: 0, killed: false }, `tab: ${tab}`);
  }
  for (const other of openTabs) await other.close();
  assert.ok(existsSync(join(dir, 'film.nscene')));
});
