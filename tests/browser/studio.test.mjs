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
import { mkdtempSync, writeFileSync, existsSync, readFileSync, rmSync } from 'node:fs';
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
function startStudio(dir, args = []) {
  return new Promise((resolvePromise, reject) => {
    const child = spawn(...command(['studio', ...args]), { cwd: dir });
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

function stopStudio(studio) {
  return new Promise((resolvePromise) => {
    studio.child.removeAllListeners('exit');
    studio.child.on('exit', (code, signal) => resolvePromise({ code, signal }));
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
  await page.waitForFunction((r) => document.getElementById('swatch').dataset.revision === String(r),
    revision);
}

const swatchPixels = () => page.evaluate(() => {
  const canvas = document.getElementById('swatch');
  const context = canvas.getContext('2d');
  return Array.from(context.getImageData(0, 0, canvas.width, canvas.height).data);
});

async function typeInto(id, text) {
  const edit = control(id, 'edit');
  await edit.fill(text);
  const answer = page.waitForResponse((r) => r.url().includes('/api/panel'));
  await edit.press('Enter');
  return answer;
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
  if (studio) await stopStudio(studio);
  if (dir) rmSync(dir, { recursive: true, force: true });
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

test('a bad value shows an error and changes nothing', async () => {
  const id = idOf('Gamma:');
  const { revision, rollouts } = await state();
  const shown = await control(id, 'edit').inputValue();
  assert.equal((await typeInto(id, 'bright')).status(), 400);
  await page.locator('#message', { hasText: /"bright" is not a number/ }).waitFor({ state: 'visible' });
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
  await page.locator('#conflict-reload').click();
  await page.locator('#conflict').waitFor({ state: 'hidden' });
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
  return (await answer).status();
}
/// Waits until a gesture's last steps have come back and been drawn.
async function settled() {
  let revision;
  do {
    revision = (await state()).revision;
    await page.waitForTimeout(300);
  } while ((await state()).revision !== revision);
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
    const edit = applied.rollouts[0].controls.find((c) => c.kind === 'edit' && c.param === param);
    assert.ok(Math.abs(edit.value - value) <= 1e-6 * Math.max(1, Math.abs(value)), name);
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
  await page.setViewportSize({ width: 700, height: 600 });
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
    await page.setViewportSize({ width: 1100, height: 760 });
  }
});

test('Ctrl-C stops the studio cleanly', async () => {
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
  const second = await startStudio(dir);
  const { code } = await stopStudio(second);
  assert.equal(code, 0);
  assert.ok(existsSync(join(dir, 'film.nscene')));
});
