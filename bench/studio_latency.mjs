// How long the studio takes from a change to its swatch on screen, measured
// in Debian's headless Chromium: the page records, for every change, the time
// from the input event to the first swatch drawn that holds it.
//
//   node bench/studio_latency.mjs [--program build/default/bin/nacrelle]
//        [--changes 120] [--load N] [--tabs N] [--drag-pixels 1] [--json FILE]
//
// --load N keeps N busy processes running alongside, for the figures under
// load. --tabs N opens N - 1 more tabs on the studio, which follow every
// change as an artist's other tabs would; the figures are the first tab's. The changes mix what an artist does: arrow keys in a field, values
// typed, spinner drags (pixel by pixel) and the mouse wheel, each waited for
// before the next; then one continuous drag at 60 moves a second, where a
// newer step may supersede an older one's picture. Its moves are one pixel
// each, so that its steps come as an artist's do (every few moves at first);
// --drag-pixels 4 makes every move a step, to see how many swatches a
// second the studio can draw when the pointer asks for more.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir, cpus } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
// playwright-core is installed for the browser tests; the benchmark shares it.
let chromium;
try {
  ({ chromium } = createRequire(join(root, 'tests/browser/package.json'))('playwright-core'));
} catch {
  console.error('studio_latency: playwright-core is missing: run `npm ci` in tests/browser ' +
                '(scripts/test-browser does) first');
  process.exit(2);
}

const { values: options } = parseArgs({
  options: {
    program: { type: 'string', default: join(root, 'build/default/bin/nacrelle') },
    changes: { type: 'string', default: '120' },
    load: { type: 'string', default: '0' },
    tabs: { type: 'string', default: '1' },
    'drag-pixels': { type: 'string', default: '1' },
    json: { type: 'string' },
  },
});
const program = resolve(options.program);
const changes = Number(options.changes);
const loadProcesses = Number(options.load);
const tabCount = Math.max(1, Number(options.tabs));
const dragPixels = Number(options['drag-pixels']);

function startStudio(dir) {
  return new Promise((resolveStudio, reject) => {
    const child = spawn(program, ['studio', 'bench.nscene'], { cwd: dir });
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const match = /nacrelle studio: (http:\/\/127\.0\.0\.1:\d+\/\?token=\w+)/.exec(out);
      if (match) resolveStudio({ child, address: match[1] });
    });
    child.stderr.on('data', (chunk) => { out += chunk; });
    child.on('exit', (code) => reject(new Error('studio ended (' + code + '): ' + out)));
  });
}

function summary(timings) {
  const sorted = timings.slice().sort((a, b) => a - b);
  const at = (q) => sorted[Math.min(sorted.length - 1, Math.ceil(sorted.length * q) - 1)];
  return { count: sorted.length, median: at(0.5), p95: at(0.95), worst: sorted[sorted.length - 1] };
}

const dir = mkdtempSync(join(tmpdir(), 'nacrelle-latency-'));
const load = [];
// The busy processes end with the benchmark, however it ends.
process.on('exit', () => { for (const child of load) child.kill(); });
for (let i = 0; i < loadProcesses; ++i) {
  load.push(spawn(process.execPath, ['-e', 'for (;;) {}'], { stdio: 'ignore' }));
}
const studio = await startStudio(dir);
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [],
});
try {
  // The other tabs first, each showing the scene, so that the first one is
  // in front and they all hear its changes.
  for (let i = 1; i < tabCount; ++i) {
    const other = await browser.newPage({ viewport: { width: 1100, height: 800 } });
    await other.goto(studio.address);
    await other.waitForSelector('.rollout[data-dialog="101"]');
  }
  const page = await browser.newPage({ viewport: { width: 1100, height: 800 } });
  await page.goto(studio.address);
  await page.waitForSelector('.rollout[data-dialog="101"]');
  const rollout = '.rollout[data-dialog="101"]';
  const edits = page.locator(`${rollout} input[data-kind="edit"]`);
  const spinners = page.locator(`${rollout} [data-kind="spinner"]`);
  // The colour rows: gamma, hue, saturation (the last three edits).
  const count = await edits.count();
  const hue = edits.nth(count - 2);
  const saturation = edits.nth(count - 1);
  const gammaSpinner = spinners.nth(count - 3);
  const recorded = () => page.evaluate(() => window.studioTimings.length);
  const settle = async (before) => {
    await page.waitForFunction((n) => window.studioTimings.length > n, before, { timeout: 10000 });
  };
  // Until every step of a gesture has come back and been drawn.
  const quiet = async () => {
    for (;;) {
      await page.waitForTimeout(150);
      const done = await page.evaluate(async () => {
        const token = new URLSearchParams(location.search).get('token');
        const { revision } = await (await fetch('/api/state?token=' + token)).json();
        const swatch = document.getElementById('swatch');
        return swatch.dataset.revision === String(revision) && !swatch.dataset.draft;
      });
      if (done) return;
    }
  };
  await page.waitForFunction(() => document.getElementById('swatch').dataset.revision);
  await page.evaluate(() => {
    window.studioTimings.length = 0;
    // Where the time goes: how late the page hears of an input, by kind.
    window.inputDelays = { keydown: [], wheel: [], pointermove: [], pointerrawupdate: [] };
    for (const type of Object.keys(window.inputDelays)) {
      document.addEventListener(type, (event) =>
        window.inputDelays[type].push(performance.now() - event.timeStamp), true);
    }
    performance.setResourceTimingBufferSize(100000);
  });

  // One change at a time, each waited for.
  const kinds = ['arrow key', 'typed value', 'spinner drag', 'mouse wheel'];
  const byKind = new Map(kinds.map((k) => [k, []]));
  let made = 0;
  while (made < changes) {
    const kind = made % 4;
    const before = await recorded();
    if (kind === 0) {
      await hue.focus();
      await hue.press(made % 8 === 0 ? 'ArrowUp' : 'ArrowDown');
    } else if (kind === 1) {
      await saturation.fill(String((made * 13) % 200 - 100));
      await saturation.press('Enter');
    } else if (kind === 2) {
      // A drag of a few pixels at a time, each step waited for.
      const box = await gammaSpinner.boundingBox();
      const x = box.x + box.width / 2;
      const y = box.y + box.height / 2;
      await page.mouse.move(x, y);
      await page.mouse.down();
      await page.mouse.move(x, y - 12, { steps: 3 });
      await settle(before);
      await page.mouse.up();
      await quiet();
    } else {
      await hue.focus();
      await hue.hover();
      await page.mouse.wheel(0, made % 8 === 3 ? -100 : 100);
    }
    await settle(before).catch(() => {});  // a gesture the page does not know changes nothing
    byKind.get(kinds[kind]).push(...await page.evaluate((n) => window.studioTimings.slice(n), before));
    if ((await recorded()) > before) ++made;
    else if (kind === 3) ++made;  // pages without wheel steps: skip, not hang
  }
  const stepped = await page.evaluate(() => window.studioTimings.slice());
  const steppedChart = await page.evaluate(() => (window.studioChartTimings || []).slice());

  // A continuous drag: 60 moves a second, `dragPixels` each, up 120 pixels
  // and back down, as often as 240 moves take.
  await page.evaluate(() => {
    window.studioTimings.length = 0;
    if (window.studioChartTimings) window.studioChartTimings.length = 0;
  });
  // Every swatch drawn during the drag, draft or full: how often it moves.
  await page.evaluate(() => {
    window.swatchDraws = [];
    new MutationObserver(() => window.swatchDraws.push(performance.now()))
      .observe(document.getElementById('swatch'), { attributes: true, attributeFilter: ['data-revision'] });
  });
  const box = await gammaSpinner.boundingBox();
  const x = box.x + box.width / 2;
  let y = box.y + box.height / 2;
  await page.mouse.move(x, y);
  await page.mouse.down();
  const dragStart = await page.evaluate(() => performance.now());
  const turn = Math.max(1, Math.round(120 / dragPixels));
  const movesStart = Date.now();
  for (let i = 0; i < 240; ++i) {
    y += (Math.floor(i / turn) % 2 === 0 ? -1 : 1) * dragPixels;
    await page.mouse.move(x, y);
    // Paced by the clock: a move's own time counts towards its 1/60 s.
    const wait = movesStart + (i + 1) * (1000 / 60) - Date.now();
    if (wait > 0) await page.waitForTimeout(wait);
  }
  const dragEnd = await page.evaluate(() => performance.now());
  await page.mouse.up();
  await page.waitForTimeout(500);
  const dragged = await page.evaluate(() => window.studioTimings.slice());
  const draws = (await page.evaluate(() => window.swatchDraws.slice()))
    .filter((t) => t >= dragStart && t <= dragEnd);
  const gaps = draws.slice(1).map((t, i) => t - draws[i]);
  const chart = await page.evaluate(() => (window.studioChartTimings || []).slice());

  // Where the time goes, from the browser's own timings of each request.
  const requests = await page.evaluate(() => performance.getEntriesByType('resource').map((e) => ({
    path: new URL(e.name).pathname, total: e.duration, server: e.responseStart - e.requestStart,
  })));
  const phases = {};
  for (const path of ['/api/panel', '/api/swatch-draft.rgba', '/api/swatch.rgba',
                      '/api/chart.rgba']) {
    const list = requests.filter((r) => r.path === path);
    if (!list.length) continue;
    phases[path + ' (request)'] = summary(list.map((r) => r.total));
    phases[path + ' (server)'] = summary(list.map((r) => r.server));
  }
  const delays = await page.evaluate(() => window.inputDelays);
  for (const [type, list] of Object.entries(delays)) {
    if (list.length) phases['input heard (' + type + ')'] = summary(list);
  }

  const result = {
    program,
    cores: cpus().length,
    loadProcesses,
    tabs: tabCount,
    steps: summary(stepped),
    byKind: Object.fromEntries([...byKind].filter(([, t]) => t.length).map(([k, t]) => [k, summary(t)])),
    drag: summary(dragged),
    // The browser driver's moves come slower than 60 a second on a busy
    // machine: the swatches can come no more often than the moves.
    dragMovesPerSecond: 240 / ((dragEnd - dragStart) / 1000),
    dragSwatchesPerSecond: draws.length / ((dragEnd - dragStart) / 1000),
    dragChangesPerSecond: dragged.length / ((dragEnd - dragStart) / 1000),
    dragSwatchGaps: gaps.length ? summary(gaps) : null,
    chartSteps: steppedChart.length ? summary(steppedChart) : null,
    chartDrag: chart.length ? summary(chart) : null,
    phases,
  };
  const line = (name, s) => s && console.log(
    `${name.padEnd(30)} ${String(s.count).padStart(4)} times  median ${s.median.toFixed(1)} ms` +
    `  95th ${s.p95.toFixed(1)} ms  worst ${s.worst.toFixed(1)} ms`);
  console.log(`${result.cores} cores, ${loadProcesses} busy processes alongside, ${tabCount} tab` +
              (tabCount === 1 ? '' : 's'));
  const every = stepped.concat(dragged);
  console.log(`${'worst change, swatch'.padEnd(30)} ${Math.max(...every).toFixed(1)} ms` +
              `  (chart ${Math.max(0, ...steppedChart, ...chart).toFixed(1)} ms)`);
  line('swatch, step by step', result.steps);
  for (const [kind, s] of Object.entries(result.byKind)) line('  ' + kind, s);
  line('swatch, 60 Hz drag', result.drag);
  console.log(`${'  swatches drawn a second'.padEnd(30)} ${result.dragSwatchesPerSecond.toFixed(1)}` +
              ` (pointer moves a second: ${result.dragMovesPerSecond.toFixed(1)},` +
              ` changes a second: ${result.dragChangesPerSecond.toFixed(1)})`);
  line('  gap between swatches', result.dragSwatchGaps);
  line('chart, step by step', result.chartSteps);
  line('chart, 60 Hz drag', result.chartDrag);
  console.log('where the time goes:');
  for (const [name, s] of Object.entries(phases)) line('  ' + name, s);
  if (options.json) writeFileSync(options.json, JSON.stringify(result, null, 2));
} finally {
  await browser.close();
  studio.child.removeAllListeners('exit');
  studio.child.kill('SIGINT');
  for (const child of load) child.kill();
  rmSync(dir, { recursive: true, force: true });
}
